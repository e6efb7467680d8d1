#include "update/HandOffRecord.h"

#include <filesystem>

#include "common/Errors.h"
#include "common/Format.h"
#include "common/ProfileFile.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

constexpr char kSection[] = "HandOff";
constexpr size_t kMaxListBytes = 64 << 10;

bool IsHexDigest(std::string_view s) {
  if (s.size() != 64) return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::optional<THandOffRecord> ReadHandOffRecord(const std::string& folder) {
  const std::string path = folder + kHandOffRecordName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(platform::FsPath(path), ec)) return std::nullopt;
  const ProfileFile file(path);
  THandOffRecord r;
  r.packageName = file.ReadString(kSection, "Package", "");
  r.sha256 = file.ReadString(kSection, "SHA256", "");
  r.packageVersion = file.ReadString(kSection, "PackageVersion", "");
  r.appVersion = file.ReadString(kSection, "AppVersion", "");
  if (r.packageName.empty()) return std::nullopt;
  return r;
}

void WriteHandOffRecord(const std::string& folder, const THandOffRecord& record) {
  // One write of the whole record: a start never sees half of it.
  const std::string text = "[HandOff]\nPackage=" + record.packageName + "\nSHA256=" + record.sha256 +
                           "\nPackageVersion=" + record.packageVersion + "\nAppVersion=" + record.appVersion +
                           "\n";
  if (auto ec = platform::ReplaceFile(folder + kHandOffRecordName, text, 0644))
    throw Exception(Format("%s%s: %s", folder.c_str(), kHandOffRecordName, platform::ErrorText(ec).c_str()));
}

void RemoveHandOffRecord(const std::string& folder) {
  std::error_code ec;
  std::filesystem::remove(platform::FsPath(folder + kHandOffRecordName), ec);
}

THandOffVerdict JudgeHandOff(const std::optional<THandOffRecord>& record, std::string_view appVersion) {
  if (!record) return THandOffVerdict::None;
  // The installer restarts the program it installed; the same version means nothing changed.
  return record->appVersion == appVersion ? THandOffVerdict::Failed : THandOffVerdict::Succeeded;
}

std::vector<TFailedPackage> ParseFailedPackages(std::string_view text) {
  std::vector<TFailedPackage> list;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 == line.size()) continue;
    const std::string_view hash = line.substr(0, space);
    if (hash != "-" && !IsHexDigest(hash)) continue;
    list.push_back({hash == "-" ? std::string() : std::string(hash), std::string(line.substr(space + 1))});
  }
  return list;
}

std::string FormatFailedPackages(const std::vector<TFailedPackage>& list) {
  std::string text;
  for (const auto& e : list) text += (e.sha256.empty() ? "-" : e.sha256) + " " + e.name + "\n";
  return text;
}

void AddFailedPackage(std::vector<TFailedPackage>& list, const TFailedPackage& entry) {
  std::erase_if(list, [&](const TFailedPackage& e) {
    return e.name == entry.name || (!entry.sha256.empty() && e.sha256 == entry.sha256);
  });
  list.push_back(entry);
  if (list.size() > kMaxFailedPackages) list.erase(list.begin(), list.end() - kMaxFailedPackages);
}

std::vector<TFailedPackage> TFailedPackages::Read() const {
  std::string text;
  if (platform::ReadWholeFile(folder_ + kFailedPackagesName, kMaxListBytes, text)) return {};
  return ParseFailedPackages(text);
}

bool TFailedPackages::Contains(std::string_view name, std::string_view sha256) const {
  for (const auto& e : Read()) {
    if (e.name == name || (!sha256.empty() && e.sha256 == sha256)) return true;
  }
  return false;
}

void TFailedPackages::Add(const TFailedPackage& entry) {
  auto list = Read();
  AddFailedPackage(list, entry);
  if (auto ec = platform::ReplaceFile(folder_ + kFailedPackagesName, FormatFailedPackages(list), 0644))
    throw Exception(Format("%s%s: %s", folder_.c_str(), kFailedPackagesName, platform::ErrorText(ec).c_str()));
}

}  // namespace zent
