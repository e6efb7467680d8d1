// The version resource of a PE file: DOS header -> PE header -> section table -> resource
// directory -> RT_VERSION -> first name -> first language -> data entry -> the block.
// The walk has a fixed depth, so a directory that points at itself or at an ancestor ends
// in a mismatch instead of a loop; every offset is checked before it is read.
#include <algorithm>

#include "common/VersionResource.h"

namespace zent::version {
namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
// wLength is 16 bits, so a version block never needs more than this.
constexpr uint32_t kMaxVersionBlock = 0xFFFF;

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

class PeImage {
 public:
  explicit PeImage(ByteSource& source) : source_(source) {}

  bool Load() {
    std::vector<uint8_t> dos;
    if (!source_.Read(0, 64, dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint32_t peOffset = *LoadU32(dos, 0x3C);
    std::vector<uint8_t> pe;
    if (!source_.Read(peOffset, 24, pe) || pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 ||
        pe[3] != 0)
      return false;
    const uint16_t sectionCount = *LoadU16(pe, 6);
    const uint16_t optionalSize = *LoadU16(pe, 20);
    const uint64_t optionalOffset = uint64_t{peOffset} + 24;

    std::vector<uint8_t> opt;
    if (!source_.Read(optionalOffset, optionalSize, opt)) return false;
    const auto magic = LoadU16(opt, 0);
    if (!magic) return false;
    size_t countOffset = 0;
    if (*magic == 0x10B)
      countOffset = 92;  // PE32
    else if (*magic == 0x20B)
      countOffset = 108;  // PE32+
    else
      return false;
    const auto dirCount = LoadU32(opt, countOffset);
    if (!dirCount || *dirCount <= kResourceDirectoryIndex) return false;
    const size_t dirOffset = countOffset + 4 + kResourceDirectoryIndex * 8;
    const auto resRva = LoadU32(opt, dirOffset);
    const auto resSize = LoadU32(opt, dirOffset + 4);
    if (!resRva || !resSize || *resRva == 0 || *resSize == 0) return false;
    resourceRva_ = *resRva;

    std::vector<uint8_t> table;
    if (!source_.Read(optionalOffset + optionalSize, size_t{sectionCount} * kSectionHeaderSize,
                      table))
      return false;
    sections_.reserve(sectionCount);
    for (size_t i = 0; i < sectionCount; ++i) {
      const size_t s = i * kSectionHeaderSize;
      sections_.push_back({*LoadU32(table, s + 12), *LoadU32(table, s + 8),
                           *LoadU32(table, s + 16), *LoadU32(table, s + 20)});
    }
    return true;
  }

  // Reads `size` bytes at an offset inside the resource directory.
  bool ReadResource(uint64_t offset, size_t size, std::vector<uint8_t>& out) {
    return ReadRva(uint64_t{resourceRva_} + offset, size, out);
  }

  // Reads `size` bytes at a relative virtual address; they must lie in one section's data.
  bool ReadRva(uint64_t rva, size_t size, std::vector<uint8_t>& out) {
    for (const Section& s : sections_) {
      const uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
      if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
      const uint64_t inSection = rva - s.virtualAddress;
      if (inSection > s.rawSize || s.rawSize - inSection < size) return false;
      return source_.Read(uint64_t{s.rawOffset} + inSection, size, out);
    }
    return false;
  }

 private:
  ByteSource& source_;
  uint32_t resourceRva_ = 0;
  std::vector<Section> sections_;
};

struct DirectoryEntry {
  uint32_t name;
  uint32_t target;
};

// The entries of the directory at `offset`: named entries first, then numbered ones.
bool ReadDirectory(PeImage& image, uint32_t offset, std::vector<DirectoryEntry>& entries,
                   uint16_t& namedCount) {
  std::vector<uint8_t> header;
  if (!image.ReadResource(offset, kDirectoryHeaderSize, header)) return false;
  namedCount = *LoadU16(header, 12);
  const size_t count = size_t{namedCount} + *LoadU16(header, 14);
  std::vector<uint8_t> raw;
  if (!image.ReadResource(uint64_t{offset} + kDirectoryHeaderSize, count * kDirectoryEntrySize,
                          raw))
    return false;
  entries.clear();
  for (size_t i = 0; i < count; ++i)
    entries.push_back({*LoadU32(raw, i * 8), *LoadU32(raw, i * 8 + 4)});
  return true;
}

// The subdirectory or data entry an entry points to, when it is of the expected kind.
std::optional<uint32_t> Target(const DirectoryEntry& e, bool wantSubdirectory) {
  if (((e.target & kSubdirectoryBit) != 0) != wantSubdirectory) return std::nullopt;
  return e.target & ~kSubdirectoryBit;
}

}  // namespace

std::optional<VersionResource> ReadPeVersion(ByteSource& source) {
  PeImage image(source);
  if (!image.Load()) return std::nullopt;

  std::vector<DirectoryEntry> entries;
  uint16_t named = 0;
  if (!ReadDirectory(image, 0, entries, named)) return std::nullopt;
  std::optional<uint32_t> typeDir;
  for (size_t i = named; i < entries.size() && !typeDir; ++i)
    if (entries[i].name == kRtVersion) typeDir = Target(entries[i], true);
  if (!typeDir) return std::nullopt;

  // The first name (or id), then its first language.
  if (!ReadDirectory(image, *typeDir, entries, named) || entries.empty()) return std::nullopt;
  const auto langDir = Target(entries[0], true);
  if (!langDir) return std::nullopt;
  if (!ReadDirectory(image, *langDir, entries, named) || entries.empty()) return std::nullopt;
  const auto dataEntry = Target(entries[0], false);
  if (!dataEntry) return std::nullopt;

  std::vector<uint8_t> data;
  if (!image.ReadResource(*dataEntry, 16, data)) return std::nullopt;
  const uint32_t blockRva = *LoadU32(data, 0);
  const uint32_t blockSize = std::min(*LoadU32(data, 4), kMaxVersionBlock);
  std::vector<uint8_t> block;
  if (blockSize == 0 || !image.ReadRva(blockRva, blockSize, block)) return std::nullopt;
  return ParseVersionInfoBlock(block);
}

}  // namespace zent::version
