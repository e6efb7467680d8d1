// Translation of user-visible texts through the process-wide language selection. The Chinese
// text written in the code is the key and the fallback; with no language files, or no entry,
// the text itself comes back. A translation is data: fill it with TextFill, never printf.
#pragma once

#include <string>
#include <string_view>

namespace zent {

class LanguageSelection;

// The calling thread's text for `text`; the text itself when no translation is known.
std::string Translate(std::string_view text);
// The same with a separate key, for long texts (the fallback is what the code would show).
std::string Translate(std::string_view key, std::string_view fallback);

// The selection Translate asks; lives until the process ends.
LanguageSelection& ProcessLanguages();

// Process initialisation: when "Lang" exists beside the executable, discovers the languages
// of "<executable base name>*.lang" in it and, when "Lang.config" exists there, makes its
// [Lang] id (default ZH_CN) the calling (main) thread's language.
void InitLanguages(const std::string& executablePath);
// Process end: frees every language; later translations return their fallbacks.
void FinalizeLanguages();

// Initialises the languages for the scope's life: the start of the program holds one.
class LanguagesScope {
 public:
  explicit LanguagesScope(const std::string& executablePath) { InitLanguages(executablePath); }
  ~LanguagesScope() { FinalizeLanguages(); }
  LanguagesScope(const LanguagesScope&) = delete;
  LanguagesScope& operator=(const LanguagesScope&) = delete;
};

}  // namespace zent
