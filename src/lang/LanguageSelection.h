// The language selection: which languages the "Lang" folder offers, which one is the default,
// which one each thread chose, and the overrides of "LanguageEx.ini". Translate (Translate.h)
// asks the process-wide selection; tests build their own.
//
// Languages are discovered from the headers of the package files matching a pattern; two
// files with the same identifier (in any letter case) count once, the first file in name
// order wins. The default is the first language, in display-name order, whose identifier
// has "CN", "ZH", "US" or "EN" (tried in that order) as a separate part at its start or end;
// without one, the first language. A resource is read on first use and kept.
// "LanguageEx.ini" overrides single texts of a language (section = language identifier,
// key = text, value = replacement); an override is applied to its resource on first use.
//
// Any thread may translate. Locks: one for the discovered languages and the default, one for
// the loaded resources (shared to look up, exclusive to load or to apply an override), one
// for the thread choices.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "lang/LanguageResource.h"

namespace zent {

struct TLanguage {
  std::string ID;    // upper-cased identifier such as ZH_CN
  std::string Name;  // display name
};

struct TLanguageInfo {
  std::string File;  // full path of the language file
  TLanguage Language;
};

// The index of the default language among identifiers listed in display-name order; 0 when
// none carries a preferred code. `ids` must not be empty.
size_t DefaultLanguageIndex(const std::vector<std::string>& ids);

// Whether a file name matches a pattern of "*" (any text) and "?" (one character), letters
// compared without ASCII case, as Windows file names are.
bool MatchesFilePattern(std::string_view name, std::string_view pattern);

// The overrides of a "LanguageEx.ini" text: upper-cased "<section>.<key>" to the value, for
// every key with a non-empty value (the first line of a key wins).
std::map<std::string, std::string> ParseLanguageOverrides(std::string bytes);

class LanguageSelection {
 public:
  // (Re)discovers the languages in `folder` from the files matching `pattern`, chooses and
  // loads the default, and reads "LanguageEx.ini" from the same folder.
  void SetLanguageResPath(const std::string& folder, const std::string& pattern);

  // The resource of a language (empty id: the default), read on first request; null when no
  // discovered language has that identifier or its file has gone.
  std::shared_ptr<TLanguageResource> GetLanguageResource(const std::string& id);
  // Makes a language the calling thread's (an id without a language changes nothing); an
  // empty id returns the thread to the default.
  void SetThreadLanguage(const std::string& id);
  // The calling thread's language, else the default; null when there is none.
  std::shared_ptr<TLanguageResource> CurrentLanguageResource() const;

  // The calling thread's text for `key`; `fallback` when there is none.
  std::string Translate(std::string_view key, std::string_view fallback);

  std::vector<TLanguageInfo> Languages() const;
  std::string DefaultLanguageID() const;

  // Process end: forgets every language, resource, choice and override.
  void Clear();

 private:
  std::shared_ptr<TLanguageResource> LoadResource(const std::string& id, const std::string& file);
  void ReadOverrides(const std::string& fileName);
  // The languages, the default and the overrides (loaded resources stay).
  void ForgetDiscovery();

  std::mutex setPathLock_;  // serialises SetLanguageResPath
  mutable std::shared_mutex languagesLock_;
  std::vector<TLanguageInfo> languages_;  // sorted by Name
  std::string defaultID_;
  std::shared_ptr<TLanguageResource> defaultResource_;

  mutable std::shared_mutex resourcesLock_;
  std::vector<std::shared_ptr<TLanguageResource>> resources_;
  std::map<std::string, std::string> overrides_;  // upper-cased "<ID>.<text>" -> replacement
  std::atomic<bool> overridesPending_{false};

  mutable std::shared_mutex threadsLock_;
  std::map<std::thread::id, std::shared_ptr<TLanguageResource>> threadChoices_;
};

}  // namespace zent
