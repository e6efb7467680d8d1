#include "lang/Translate.h"

#include <filesystem>

#include "common/FileLog.h"
#include "common/ProfileFile.h"
#include "lang/LanguageSelection.h"
#include "platform/FsPath.h"

namespace zent {

namespace fs = std::filesystem;

LanguageSelection& ProcessLanguages() {
  // Never destroyed: a worker that translates during process exit still finds it (emptied
  // by FinalizeLanguages).
  static LanguageSelection* const selection = new LanguageSelection();
  return *selection;
}

std::string Translate(std::string_view text) { return ProcessLanguages().Translate(text, text); }

std::string Translate(std::string_view key, std::string_view fallback) {
  return ProcessLanguages().Translate(key, fallback);
}

void InitLanguages(const std::string& executablePath) {
  const fs::path exe = platform::FsPath(executablePath);
  const fs::path folder = exe.parent_path() / "Lang";
  std::error_code ec;
  if (executablePath.empty() || !fs::is_directory(folder, ec)) return;
  LanguageSelection& languages = ProcessLanguages();
  languages.SetLanguageResPath(platform::Utf8Of(folder) + "/", platform::Utf8Of(exe.stem()) + "*.lang");

  const fs::path config = folder / "Lang.config";
  if (!fs::exists(config, ec)) return;
  const std::string id = ProfileFile(platform::Utf8Of(config)).ReadString("Lang", "id", "ZH_CN");
  languages.SetThreadLanguage(id);
  AppLog().Log(1, "Language: " + id + " (default " + languages.DefaultLanguageID() + ")");
}

void FinalizeLanguages() { ProcessLanguages().Clear(); }

}  // namespace zent
