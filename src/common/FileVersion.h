// Version information of executable files: the record TFileInfo and GetFileInfo, which fills
// it from a PE file's version resource or from the version note our build writes into our own
// ELF executables. The reader is portable (plain file reads), reads only the ranges it needs,
// and treats every damaged or hostile file as "no version information".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zent {

// The fixed part of a version resource, word for word.
struct VsFixedFileInfo {
  uint32_t dwSignature = 0;
  uint32_t dwStrucVersion = 0;
  uint32_t dwFileVersionMS = 0;
  uint32_t dwFileVersionLS = 0;
  uint32_t dwProductVersionMS = 0;
  uint32_t dwProductVersionLS = 0;
  uint32_t dwFileFlagsMask = 0;
  uint32_t dwFileFlags = 0;
  uint32_t dwFileOS = 0;
  uint32_t dwFileType = 0;
  uint32_t dwFileSubtype = 0;
  uint32_t dwFileDateMS = 0;
  uint32_t dwFileDateLS = 0;

  bool operator==(const VsFixedFileInfo&) const = default;
};

using CustomFieldValue = std::vector<std::string>;

struct TFileInfo {
  std::string CommpanyName;
  std::string FileDescription;
  std::string Version;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTrademarks;
  std::string OriginalFileName;
  std::string ProductName;
  std::string ProductVersion;
  std::string Comments;
  zent::VsFixedFileInfo VsFixedFileInfo;
  zent::CustomFieldValue CustomFieldValue;  // one value per extra key, in the caller's order
};

// Fills `info` from the file's version information. False, with every string empty, the fixed
// part zero and one empty value per extra key, when the file has none or cannot be read.
bool GetFileInfo(const std::string& fileName, TFileInfo& info,
                 const std::vector<std::string>& extraKeys = {});

// The same over a file's bytes held in memory.
bool GetFileInfoFromBytes(std::span<const uint8_t> bytes, TFileInfo& info,
                          const std::vector<std::string>& extraKeys = {});

}  // namespace zent
