#include "lang/LanguageSelection.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "common/Encoding.h"
#include "common/FileLog.h"
#include "common/ProfileFile.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/TextCase.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOverridesFile = "LanguageEx.ini";

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

// The code stands alone at the identifier's start or end: "[^A-Z]CODE$|^CODE[^A-Z]|^CODE$".
// Bytes suffice: every byte of a multi-byte UTF-8 character lies outside A-Z.
bool HasCodePart(std::string_view id, std::string_view code) {
  if (id == code) return true;
  if (id.size() <= code.size()) return false;
  if (id.substr(0, code.size()) == code && !IsUpperLetter(id[code.size()])) return true;
  return id.substr(id.size() - code.size()) == code && !IsUpperLetter(id[id.size() - code.size() - 1]);
}

}  // namespace

size_t DefaultLanguageIndex(const std::vector<std::string>& ids) {
  for (std::string_view code : {"CN", "ZH", "US", "EN"}) {
    for (size_t i = 0; i < ids.size(); ++i)
      if (HasCodePart(ids[i], code)) return i;
  }
  return 0;
}

bool MatchesFilePattern(std::string_view name, std::string_view pattern) {
  // Greedy match with one back-tracking point per "*": linear in practice, never recursive.
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  auto same = [](char a, char b) { return AsciiUpper(std::string_view(&a, 1)) == AsciiUpper(std::string_view(&b, 1)); };
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::map<std::string, std::string> ParseLanguageOverrides(std::string bytes) {
  std::map<std::string, std::string> overrides;
  for (auto& entry : ProfileText(std::move(bytes)).Entries()) {
    if (entry.value.empty()) continue;
    // The whole key is upper-cased, as the lookup forms it; the first line of a key wins,
    // as it does for the profile functions.
    overrides.emplace(platform::UpperCaseText(entry.section + "." + entry.key), std::move(entry.value));
  }
  return overrides;
}

void LanguageSelection::SetLanguageResPath(const std::string& folder, const std::string& pattern) {
  const std::lock_guard serial(setPathLock_);
  ForgetDiscovery();
  std::error_code ec;
  const fs::path dir = fs::absolute(platform::FsPath(folder), ec);
  if (ec || !fs::is_directory(dir, ec)) return;

  // Name order, so that "the first file listed" is the same on every file system.
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && MatchesFilePattern(platform::Utf8Of(it->path().filename()), pattern))
      files.push_back(it->path());
  }
  if (ec) AppLog().Log(2, "语言文件夹[" + platform::Utf8Of(dir) + "]无法列出: " + platform::ErrorText(ec));
  std::sort(files.begin(), files.end());

  std::vector<TLanguageInfo> found;
  for (const fs::path& path : files) {
    const std::string file = platform::Utf8Of(path);
    try {
      TSRData type;
      if (!TSRPackage::ReadFileType(file, type)) {
        AppLog().Log(2, "语言文件[" + file + "]的版本不受支持");
        continue;
      }
      const bool known = std::any_of(found.begin(), found.end(),
                                     [&](const TLanguageInfo& l) { return l.Language.ID == type.ID; });
      if (!known) found.push_back({file, {type.ID, type.Value}});
    } catch (const std::exception& e) {
      AppLog().Log("语言文件[" + file + "]不可用: ", e);
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const TLanguageInfo& a, const TLanguageInfo& b) {
    return Utf8ToUtf16(a.Language.Name) < Utf8ToUtf16(b.Language.Name);
  });

  std::string defaultID;
  std::string defaultFile;
  if (!found.empty()) {
    std::vector<std::string> ids;
    for (const auto& l : found) ids.push_back(l.Language.ID);
    const TLanguageInfo& chosen = found[DefaultLanguageIndex(ids)];
    defaultID = chosen.Language.ID;
    defaultFile = chosen.File;
  }
  std::shared_ptr<TLanguageResource> defaultResource;
  if (!defaultID.empty()) defaultResource = LoadResource(defaultID, defaultFile);
  {
    const std::unique_lock lock(languagesLock_);
    languages_ = std::move(found);
    defaultID_ = defaultID;
    defaultResource_ = defaultResource;
  }

  const fs::path overrides = dir / kOverridesFile;
  if (fs::exists(overrides, ec)) ReadOverrides(platform::Utf8Of(overrides));
}

void LanguageSelection::ReadOverrides(const std::string& fileName) {
  std::string bytes;
  if (const auto ec = platform::ReadWholeFile(fileName, ProfileFile::kMaxFileSize, bytes)) {
    AppLog().Log(2, "语言替换文件[" + fileName + "]无法读取: " + platform::ErrorText(ec));
    return;
  }
  std::map<std::string, std::string> overrides = ParseLanguageOverrides(std::move(bytes));
  const std::unique_lock lock(resourcesLock_);
  overrides_ = std::move(overrides);
  overridesPending_ = !overrides_.empty();
}

std::shared_ptr<TLanguageResource> LanguageSelection::LoadResource(const std::string& id, const std::string& file) {
  {
    const std::shared_lock lock(resourcesLock_);
    for (const auto& r : resources_)
      if (r->ID() == id) return r;
  }
  const std::unique_lock lock(resourcesLock_);
  // Another thread may have loaded it between the two locks.
  for (const auto& r : resources_)
    if (r->ID() == id) return r;
  std::error_code ec;
  if (!fs::is_regular_file(platform::FsPath(file), ec)) return nullptr;
  auto resource = std::make_shared<TLanguageResource>();
  resource->Load(id, file);  // kept even when unreadable: its lookups then fall back
  resources_.push_back(resource);
  return resource;
}

std::shared_ptr<TLanguageResource> LanguageSelection::GetLanguageResource(const std::string& id) {
  std::string wanted;
  std::string file;
  {
    const std::shared_lock lock(languagesLock_);
    wanted = id.empty() ? defaultID_ : id;
    if (wanted.empty()) return nullptr;
    const auto it = std::find_if(languages_.begin(), languages_.end(),
                                 [&](const TLanguageInfo& l) { return l.Language.ID == wanted; });
    if (it != languages_.end()) file = it->File;
  }
  if (file.empty()) {
    // Not discovered (any more): a resource loaded before a later discovery may still be there.
    const std::shared_lock lock(resourcesLock_);
    for (const auto& r : resources_)
      if (r->ID() == wanted) return r;
    return nullptr;
  }
  return LoadResource(wanted, file);
}

void LanguageSelection::SetThreadLanguage(const std::string& id) {
  const std::thread::id self = std::this_thread::get_id();
  if (id.empty()) {
    const std::unique_lock lock(threadsLock_);
    threadChoices_.erase(self);
    return;
  }
  auto resource = GetLanguageResource(platform::UpperCaseText(id));
  if (!resource) return;
  const std::unique_lock lock(threadsLock_);
  threadChoices_[self] = std::move(resource);
}

std::shared_ptr<TLanguageResource> LanguageSelection::CurrentLanguageResource() const {
  {
    const std::shared_lock lock(threadsLock_);
    if (!threadChoices_.empty()) {
      const auto it = threadChoices_.find(std::this_thread::get_id());
      if (it != threadChoices_.end()) return it->second;
    }
  }
  const std::shared_lock lock(languagesLock_);
  return defaultResource_;
}

std::string LanguageSelection::Translate(std::string_view key, std::string_view fallback) {
  const std::shared_ptr<TLanguageResource> resource = CurrentLanguageResource();
  if (!resource) return std::string(fallback);
  if (overridesPending_) {
    const std::string overrideKey = platform::UpperCaseText(resource->ID() + "." + std::string(key));
    const std::unique_lock lock(resourcesLock_);
    const auto it = overrides_.find(overrideKey);
    if (it != overrides_.end()) {
      std::string text = std::move(it->second);
      overrides_.erase(it);
      overridesPending_ = !overrides_.empty();
      resource->Update(key, text);
      return text;
    }
  }
  const std::shared_lock lock(resourcesLock_);
  return resource->Get(key, fallback);
}

std::vector<TLanguageInfo> LanguageSelection::Languages() const {
  const std::shared_lock lock(languagesLock_);
  return languages_;
}

std::string LanguageSelection::DefaultLanguageID() const {
  const std::shared_lock lock(languagesLock_);
  return defaultID_;
}

void LanguageSelection::ForgetDiscovery() {
  {
    const std::unique_lock lock(languagesLock_);
    languages_.clear();
    defaultID_.clear();
    defaultResource_.reset();
  }
  const std::unique_lock lock(resourcesLock_);
  overrides_.clear();
  overridesPending_ = false;
}

void LanguageSelection::Clear() {
  const std::lock_guard serial(setPathLock_);
  {
    const std::unique_lock lock(threadsLock_);
    threadChoices_.clear();
  }
  ForgetDiscovery();
  const std::unique_lock lock(resourcesLock_);
  resources_.clear();
}

}  // namespace zent
