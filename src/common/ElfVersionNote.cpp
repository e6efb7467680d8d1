// The version note of an ELF file, found through the PT_NOTE program headers or, when there
// are none, the SHT_NOTE sections. Little-endian 32- and 64-bit files; every header, offset
// and size is checked, and the bytes read from note regions have a budget, so a crafted file
// with many huge or overlapping notes cannot make the walk expensive.
#include <cstdio>

#include "common/Encoding.h"
#include "common/VersionResource.h"

namespace zent::version {
namespace {

constexpr uint32_t kPtNote = 4;
constexpr uint32_t kShtNote = 7;
constexpr size_t kMaxNoteRegion = 1u << 20;
constexpr size_t kNoteReadBudget = 8u << 20;
constexpr size_t kMaxHeaderCount = 4096;
constexpr size_t kFixedInfoSize = 13 * 4;

struct Region {
  uint64_t offset;
  uint64_t size;
  uint64_t align;
};

struct ElfLayout {
  bool is64 = false;
  uint64_t phoff = 0, shoff = 0;
  uint16_t phentsize = 0, phnum = 0, shentsize = 0, shnum = 0;
};

std::optional<ElfLayout> ReadLayout(ByteSource& source) {
  std::vector<uint8_t> h;
  if (!source.Read(0, 16, h) || h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F')
    return std::nullopt;
  if (h[5] != 1) return std::nullopt;  // big-endian files are not ours
  ElfLayout l;
  if (h[4] == 2)
    l.is64 = true;
  else if (h[4] != 1)
    return std::nullopt;
  if (!source.Read(0, l.is64 ? 64 : 52, h)) return std::nullopt;
  if (l.is64) {
    l.phoff = *LoadU64(h, 32);
    l.shoff = *LoadU64(h, 40);
    l.phentsize = *LoadU16(h, 54);
    l.phnum = *LoadU16(h, 56);
    l.shentsize = *LoadU16(h, 58);
    l.shnum = *LoadU16(h, 60);
  } else {
    l.phoff = *LoadU32(h, 28);
    l.shoff = *LoadU32(h, 32);
    l.phentsize = *LoadU16(h, 42);
    l.phnum = *LoadU16(h, 44);
    l.shentsize = *LoadU16(h, 46);
    l.shnum = *LoadU16(h, 48);
  }
  return l;
}

// The note regions the program headers name; empty when there are none or they are damaged.
std::vector<Region> ProgramNoteRegions(ByteSource& source, const ElfLayout& l) {
  std::vector<Region> regions;
  const size_t entrySize = l.is64 ? 56 : 32;
  if (l.phoff == 0 || l.phentsize < entrySize || l.phnum > kMaxHeaderCount) return regions;
  std::vector<uint8_t> ph;
  for (uint64_t i = 0; i < l.phnum; ++i) {
    if (!source.Read(l.phoff + i * l.phentsize, entrySize, ph)) return {};
    if (*LoadU32(ph, 0) != kPtNote) continue;
    if (l.is64)
      regions.push_back({*LoadU64(ph, 8), *LoadU64(ph, 32), *LoadU64(ph, 48)});
    else
      regions.push_back({*LoadU32(ph, 4), *LoadU32(ph, 16), *LoadU32(ph, 28)});
  }
  return regions;
}

std::vector<Region> SectionNoteRegions(ByteSource& source, const ElfLayout& l) {
  std::vector<Region> regions;
  const size_t entrySize = l.is64 ? 64 : 40;
  if (l.shoff == 0 || l.shentsize < entrySize || l.shnum > kMaxHeaderCount) return regions;
  std::vector<uint8_t> sh;
  for (uint64_t i = 0; i < l.shnum; ++i) {
    if (!source.Read(l.shoff + i * l.shentsize, entrySize, sh)) return {};
    if (*LoadU32(sh, 4) != kShtNote) continue;
    if (l.is64)
      regions.push_back({*LoadU64(sh, 24), *LoadU64(sh, 32), *LoadU64(sh, 48)});
    else
      regions.push_back({*LoadU32(sh, 16), *LoadU32(sh, 20), *LoadU32(sh, 32)});
  }
  return regions;
}

// Our descriptor: fixed part, translation, UTF-8 key/value pairs closed by an empty key.
std::optional<VersionResource> ParseDescriptor(std::span<const uint8_t> d) {
  if (d.size() < kFixedInfoSize + 4) return std::nullopt;
  uint32_t w[13];
  for (size_t i = 0; i < 13; ++i) w[i] = *LoadU32(d, i * 4);
  VersionResource res;
  res.fixed = VsFixedFileInfo{w[0], w[1], w[2], w[3], w[4],  w[5], w[6],
                              w[7], w[8], w[9], w[10], w[11], w[12]};
  const uint32_t translation = *LoadU32(d, kFixedInfoSize);
  res.translation = translation;
  StringTable table;
  char name[9];
  std::snprintf(name, sizeof name, "%04X%04X", translation & 0xFFFF, translation >> 16);
  table.name = name;

  // Each text runs to its NUL; a text without one means the descriptor is damaged.
  size_t pos = kFixedInfoSize + 4;
  auto nextText = [&](std::string& text) {
    for (size_t end = pos; end < d.size(); ++end) {
      if (d[end] != 0) continue;
      // Hostile bytes are not passed on as invalid UTF-8.
      text = Utf16ToUtf8(Utf8ToUtf16(
          std::string_view(reinterpret_cast<const char*>(d.data()) + pos, end - pos)));
      pos = end + 1;
      return true;
    }
    return false;
  };
  for (;;) {
    std::string key, value;
    if (!nextText(key)) return std::nullopt;
    if (key.empty()) break;
    if (!nextText(value)) return std::nullopt;
    table.strings.emplace_back(std::move(key), std::move(value));
  }
  res.tables.push_back(std::move(table));
  return res;
}

size_t AlignUp(size_t v, size_t a) { return (v + a - 1) / a * a; }

// Looks through one note region for our note. Notes are 4-aligned, or 8-aligned in
// regions whose alignment is 8.
std::optional<std::optional<VersionResource>> FindInRegion(std::span<const uint8_t> r,
                                                           size_t align) {
  size_t pos = 0;
  while (r.size() - pos >= 12) {
    const uint32_t namesz = *LoadU32(r, pos);
    const uint32_t descsz = *LoadU32(r, pos + 4);
    const uint32_t type = *LoadU32(r, pos + 8);
    const size_t nameBegin = pos + 12;
    if (namesz > r.size() - nameBegin) return std::nullopt;
    const size_t descBegin = AlignUp(nameBegin + namesz, align);
    if (descBegin > r.size() || descsz > r.size() - descBegin) return std::nullopt;
    const std::string_view name(reinterpret_cast<const char*>(r.data()) + nameBegin, namesz);
    if (type == kVersionNoteType && namesz == kVersionNoteOwner.size() + 1 &&
        name.substr(0, kVersionNoteOwner.size()) == kVersionNoteOwner && name.back() == '\0')
      return std::optional<std::optional<VersionResource>>(
          std::in_place, ParseDescriptor(r.subspan(descBegin, descsz)));
    pos = AlignUp(descBegin + descsz, align);
    if (pos > r.size()) break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<VersionResource> ReadElfVersionNote(ByteSource& source) {
  const auto layout = ReadLayout(source);
  if (!layout) return std::nullopt;
  std::vector<Region> regions = ProgramNoteRegions(source, *layout);
  if (regions.empty()) regions = SectionNoteRegions(source, *layout);

  size_t budget = kNoteReadBudget;
  std::vector<uint8_t> bytes;
  for (const Region& region : regions) {
    if (region.size > kMaxNoteRegion || region.size > budget) continue;
    budget -= region.size;
    if (!source.Read(region.offset, region.size, bytes)) continue;
    if (auto found = FindInRegion(bytes, region.align == 8 ? 8 : 4)) return *found;
  }
  return std::nullopt;
}

}  // namespace zent::version
