// ProfileFile: one profile (INI) file on disk, accessed key by key like the Windows profile
// functions. Nothing is cached: every read opens the file anew, every write goes to disk at
// once. Reading never changes the file; a missing, unreadable or damaged file reads as the
// defaults. The first write creates the file (its folder must exist). Writes replace the
// file atomically, so a crash never leaves half a file, and cooperating writers in the same
// folder are serialised, so none loses another's change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ProfileText.h"

namespace zent {

// A profile integer: optional sign, then decimal digits or "0x"/"0X" and hexadecimal digits,
// nothing else. Decimal must fit 32 bits signed; hexadecimal may use all 32 bits
// ("0xFFFFFFFF" is -1). nullopt when the text does not parse.
std::optional<int32_t> ParseProfileInteger(std::string_view text);

class ProfileFile {
 public:
  // Larger files are damaged beyond use: they read as defaults and are never rewritten.
  static constexpr size_t kMaxFileSize = 64u << 20;

  explicit ProfileFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& FileName() const { return fileName_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // A value that does not parse as a profile integer gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // An integer: 0 is false, any other number true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Throw EProfileError when the file cannot be read or written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // Written as 1 and 0.
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  std::string fileName_;
};

}  // namespace zent
