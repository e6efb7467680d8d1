// What the start remembers about a package it handed to the installer, so that a package
// whose installation failed is handed off once and never again: before the hand-off a
// record goes into the package folder ("HandOff.ini"); the next start judges it. When the
// program still has the version it had at hand-off, the installation failed (or was refused,
// or changed nothing): the package is removed and its name and hash join the folder's list of
// failed packages ("FailedPackages.txt", the last 16), which the update check consults so
// the same package is not downloaded again. Both files lie in a folder the program's group
// may write: their content only ever removes or skips a package, never names what runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zent {

inline constexpr char kHandOffRecordName[] = "HandOff.ini";
inline constexpr char kFailedPackagesName[] = "FailedPackages.txt";
inline constexpr size_t kMaxFailedPackages = 16;

struct THandOffRecord {
  std::string packageName;     // file name in the package folder
  std::string sha256;          // of the package's bytes
  std::string packageVersion;  // the package's file version
  std::string appVersion;      // the program's version at hand-off
};

// The record in `folder` (ending in "/"), nullopt when there is none or it names no package.
std::optional<THandOffRecord> ReadHandOffRecord(const std::string& folder);
// Throws zent::Exception with a readable text when it cannot be written.
void WriteHandOffRecord(const std::string& folder, const THandOffRecord& record);
void RemoveHandOffRecord(const std::string& folder);

enum class THandOffVerdict {
  None,       // no record: nothing was handed off
  Succeeded,  // the program's version changed since the hand-off
  Failed,     // the program still has the version it had at hand-off
};

// The judgement of a start over the previous hand-off.
THandOffVerdict JudgeHandOff(const std::optional<THandOffRecord>& record, std::string_view appVersion);

struct TFailedPackage {
  std::string sha256;  // may be empty (unknown)
  std::string name;    // the package's file name
  bool operator==(const TFailedPackage&) const = default;
};

// The list's text: one line per package, "<sha256> <name>", oldest first. Lines that do not
// parse are skipped.
std::vector<TFailedPackage> ParseFailedPackages(std::string_view text);
std::string FormatFailedPackages(const std::vector<TFailedPackage>& list);
// Adds `entry` as the newest (an entry of the same name or hash moves to the end) and keeps
// the newest `kMaxFailedPackages`.
void AddFailedPackage(std::vector<TFailedPackage>& list, const TFailedPackage& entry);

// The list of failed packages of one package folder (ending in "/").
class TFailedPackages {
 public:
  explicit TFailedPackages(std::string folder) : folder_(std::move(folder)) {}
  // Whether a package of this file name, or (when not empty) these bytes, failed before.
  bool Contains(std::string_view name, std::string_view sha256 = {}) const;
  // Throws zent::Exception with a readable text when the list cannot be written.
  void Add(const TFailedPackage& entry);

 private:
  std::vector<TFailedPackage> Read() const;
  std::string folder_;
};

}  // namespace zent
