// Internals of the file version reader: the bounded byte source the readers pull from, the
// parsed version information, and the readers of the PE version resource and our ELF note.
// Every reader returns nullopt for a file without version information or a damaged one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/FileVersion.h"

namespace zent::version {

// Random access to a file's bytes: only the ranges a reader asks for are read.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Exactly `size` bytes at `offset`; false when the range is not wholly inside the source.
  virtual bool Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) override;

 private:
  std::span<const uint8_t> bytes_;
};

struct StringTable {
  std::string name;  // language and code page as eight hexadecimal digits, e.g. "080404B0"
  std::vector<std::pair<std::string, std::string>> strings;  // key, value in file order
};

// What a version query can find: the fixed part ("\"), the first translation
// ("\VarFileInfo\Translation") and the string tables ("\StringFileInfo\<table>\<key>").
struct VersionResource {
  std::optional<VsFixedFileInfo> fixed;
  std::optional<uint32_t> translation;  // language in the low 16 bits, code page in the high
  std::vector<StringTable> tables;

  // Names and keys compare without case; the first match wins, as a query walks the tree.
  std::optional<std::string> String(std::string_view table, std::string_view key) const;
};

// A VS_VERSIONINFO block (UTF-16LE keys, 32-bit aligned nodes).
std::optional<VersionResource> ParseVersionInfoBlock(std::span<const uint8_t> block);

// The RT_VERSION resource of a 32- or 64-bit PE file.
std::optional<VersionResource> ReadPeVersion(ByteSource& source);

// The version note of a little-endian 32- or 64-bit ELF file.
std::optional<VersionResource> ReadElfVersionNote(ByteSource& source);

// The note our build writes: owner "ZENT", this type; the descriptor holds the 13 words of
// the fixed part, the translation word, then NUL-terminated UTF-8 key/value pairs closed by
// an empty key. All numbers little-endian.
inline constexpr std::string_view kVersionNoteOwner = "ZENT";
inline constexpr uint32_t kVersionNoteType = 0x5A56;

// Little-endian reads inside a span; nullopt past its end.
inline std::optional<uint16_t> LoadU16(std::span<const uint8_t> b, uint64_t off) {
  if (off > b.size() || b.size() - off < 2) return std::nullopt;
  return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}
inline std::optional<uint32_t> LoadU32(std::span<const uint8_t> b, uint64_t off) {
  if (off > b.size() || b.size() - off < 4) return std::nullopt;
  return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
         (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}
inline std::optional<uint64_t> LoadU64(std::span<const uint8_t> b, uint64_t off) {
  const auto lo = LoadU32(b, off);
  const auto hi = LoadU32(b, off + 4);
  if (!lo || !hi) return std::nullopt;
  return *lo | (static_cast<uint64_t>(*hi) << 32);
}

}  // namespace zent::version
