// The installer's payload: the program folder appended to the installer program itself.
// Layout (numbers little-endian):
//   <installer ELF> <payload> <trailer> [<signature block>]
//   payload: records { u8 kind (1 folder, 2 file, 0 end), u16 mode bits, u32 name length,
//            name (relative, "/"-separated UTF-8), for files u64 size and the bytes }
//   trailer (32 bytes): "ZSETUP01", u64 payload offset, u64 payload size, u32 CRC-32 of the
//            payload, u32 zero
// Appending leaves the ELF intact (its headers, version note included, sit at the start), so
// the installer still runs and its version can be read from the file. A signed installer
// ends in the signature block of update/PackageSignature.h, which covers everything before it.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "update/PackageSignature.h"

namespace zent::setup {

inline constexpr char kTrailerMagic[] = "ZSETUP01";
inline constexpr size_t kTrailerSize = 32;

struct PayloadEntry {
  bool folder = false;
  uint16_t mode = 0644;
  std::string name;  // relative path
  uint64_t size = 0;
};

struct Trailer {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint32_t crc = 0;
};

// Whether a stored name is a plain relative path that stays inside the target folder.
bool IsSafeEntryName(std::string_view name);

// Files of a program folder that never go into an installer: logs, downloaded packages,
// run-options files, update scripts and installer leftovers.
bool IsLeftOutOfPayload(std::string_view relativeName);

// Writes an installer: `stub` bytes, then every file and folder of `programFolder` (sorted,
// with the entry named `mainName` last, so it is replaced last), then the trailer, then the
// signature block when `signWith` is given (the file appears under `out` only complete).
// Throws std::runtime_error with a readable text on failure.
void WriteInstaller(const std::string& stub, const std::string& programFolder,
                    const std::string& mainName, const std::string& out,
                    const UpdateSecretKey* signWith = nullptr);

// The length of the installer's own data in `file` (size `fileSize`): the part in front of
// its signature block when it is signed, else the whole file.
uint64_t InstallerDataSize(std::istream& file, uint64_t fileSize);

// Reads the trailer at the end of `file` (size `fileSize`); false when there is none or it
// does not fit the file.
bool ReadTrailer(std::istream& file, uint64_t fileSize, Trailer& trailer);

// Checks the payload's CRC; false when it does not match or cannot be read.
bool VerifyPayload(std::istream& file, const Trailer& trailer);

// Walks the payload: `onFolder` for each folder, `onFile` for each file with a reader that
// hands out exactly its bytes in pieces. Throws std::runtime_error on a damaged payload or a
// name that would leave the target folder.
using FileReader = std::function<bool(std::string_view& piece)>;  // false: no more bytes
void ReadPayload(std::istream& file, const Trailer& trailer,
                 const std::function<void(const PayloadEntry&)>& onFolder,
                 const std::function<void(const PayloadEntry&, const FileReader&)>& onFile);

}  // namespace zent::setup
