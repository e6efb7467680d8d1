// The file version reader against a real PE file made by a Windows toolchain, our own
// executable's version note, synthetic ELF files, and damaged or crafted variants of each.
#include "common/FileVersion.h"
#include "common/Utils.h"
#include "StaleFileInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zent {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const Bytes& b, size_t off) {
  uint32_t v;
  std::memcpy(&v, b.data() + off, 4);
  return v;
}
void PutU16(Bytes& b, size_t off, uint16_t v) { std::memcpy(b.data() + off, &v, 2); }
void PutU32(Bytes& b, size_t off, uint32_t v) { std::memcpy(b.data() + off, &v, 4); }

size_t FindUtf16(const Bytes& b, const char* ascii) {
  Bytes pattern;
  for (const char* p = ascii; *p; ++p) pattern.insert(pattern.end(), {uint8_t(*p), 0});
  auto it = std::search(b.begin(), b.end(), pattern.begin(), pattern.end());
  return it == b.end() ? std::string::npos : static_cast<size_t>(it - b.begin());
}

void ExpectEmpty(const TFileInfo& info, size_t extraCount) {
  for (const std::string* s :
       {&info.CommpanyName, &info.FileDescription, &info.Version, &info.InternalName,
        &info.LegalCopyright, &info.LegalTrademarks, &info.OriginalFileName, &info.ProductName,
        &info.ProductVersion, &info.Comments})
    EXPECT_EQ(*s, "");
  EXPECT_EQ(info.VsFixedFileInfo, VsFixedFileInfo{});
  EXPECT_EQ(info.CustomFieldValue, CustomFieldValue(extraCount));
}

const std::string kFixture = std::string(ZENT_TEST_DATA_DIR) + "/version_fixture.exe";

// --- PE --------------------------------------------------------------------------------

TEST(FileVersionPe, ReadsEveryFieldOfARealVersionResource) {
  TFileInfo info = StaleFileInfo();
  ASSERT_TRUE(GetFileInfo(kFixture, info, {"BuildChannel", "buildchannel", "NoSuchKey"}));
  EXPECT_EQ(info.CommpanyName, "Fixture Works");
  EXPECT_EQ(info.FileDescription, "版本信息测试程序");
  // The fixed part wins over the "FileVersion" and "ProductVersion" strings.
  EXPECT_EQ(info.Version, "6.6.1.2810");
  EXPECT_EQ(info.ProductVersion, "6.6.0.100");
  EXPECT_EQ(info.InternalName, "version_fixture");
  EXPECT_EQ(info.LegalCopyright, "Copyright (C) 2026 Fixture Works");
  EXPECT_EQ(info.LegalTrademarks, "Fixture(TM)");
  EXPECT_EQ(info.OriginalFileName, "version_fixture.exe");
  EXPECT_EQ(info.ProductName, "Fixture Product");
  EXPECT_EQ(info.Comments, "no code, only a version resource");
  EXPECT_EQ(info.CustomFieldValue, (CustomFieldValue{"stable", "stable", ""}));

  const VsFixedFileInfo& f = info.VsFixedFileInfo;
  EXPECT_EQ(f.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(f.dwFileVersionMS, (6u << 16) | 6u);
  EXPECT_EQ(f.dwFileVersionLS, (1u << 16) | 2810u);
  EXPECT_EQ(f.dwProductVersionMS, (6u << 16) | 6u);
  EXPECT_EQ(f.dwProductVersionLS, 100u);
  EXPECT_EQ(f.dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(f.dwFileOS, 0x40004u);
  EXPECT_EQ(f.dwFileType, 1u);
  EXPECT_EQ(GetFileVersion(kFixture), "6.6.1.2810");
}

TEST(FileVersionPe, FilesWithoutVersionInformationGiveFalseAndEmptyFields) {
  const std::filesystem::path dir = ZENT_TEST_TMP_DIR;
  std::filesystem::create_directories(dir);
  const std::string text = (dir / "plain.txt").string();
  std::ofstream(text) << "MZ but nothing else\n";
  const std::string empty = (dir / "empty.bin").string();
  std::ofstream{empty};

  for (const std::string& path :
       {text, empty, (dir / "missing.exe").string(), dir.string(), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    TFileInfo info = StaleFileInfo();
    EXPECT_FALSE(GetFileInfo(path, info, {"X", "Y"}));
    ExpectEmpty(info, 2);
    EXPECT_EQ(GetFileVersion(path), "");
  }
}

// Offsets of the fixture's structures, found the way a loader finds them.
struct PeLayout {
  size_t peOffset, optionalOffset, sectionTable, resourceDir, rsrcSection;
  size_t rootVersionEntry;  // the RT_VERSION entry in the root directory
  size_t typeDir, langDir, dataEntry, block;

  explicit PeLayout(const Bytes& b) {
    peOffset = U32(b, 0x3C);
    optionalOffset = peOffset + 24;
    sectionTable = optionalOffset + (b[peOffset + 20] | (b[peOffset + 21] << 8));
    const uint32_t resRva = U32(b, optionalOffset + 96 + 2 * 8);
    const size_t count = b[peOffset + 6] | (b[peOffset + 7] << 8);
    for (size_t i = 0; i < count; ++i) {
      const size_t s = sectionTable + i * 40;
      if (U32(b, s + 12) == resRva) rsrcSection = s, resourceDir = U32(b, s + 20);
    }
    const size_t named = b[resourceDir + 12] | (b[resourceDir + 13] << 8);
    const size_t ids = b[resourceDir + 14] | (b[resourceDir + 15] << 8);
    for (size_t i = named; i < named + ids; ++i)
      if (U32(b, resourceDir + 16 + i * 8) == 16) rootVersionEntry = resourceDir + 16 + i * 8;
    typeDir = resourceDir + (U32(b, rootVersionEntry + 4) & 0x7FFFFFFF);
    langDir = resourceDir + (U32(b, typeDir + 16 + 4) & 0x7FFFFFFF);
    dataEntry = resourceDir + U32(b, langDir + 16 + 4);
    block = FindUtf16(b, "VS_VERSION_INFO") - 6;
  }
};

TEST(FileVersionPe, FixtureLayoutIsWhatTheCraftedCasesAssume) {
  const Bytes pe = ReadAll(kFixture);
  ASSERT_GT(pe.size(), 1000u);
  const PeLayout l(pe);
  EXPECT_EQ(l.resourceDir + U32(pe, l.dataEntry) - U32(pe, l.rsrcSection + 12), l.block);
}

TEST(FileVersionPe, CraftedFilesGiveFalseAndEmptyFields) {
  const Bytes pe = ReadAll(kFixture);
  const PeLayout l(pe);
  const uint32_t kSub = 0x80000000u;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"RT_VERSION entry points at the root directory",
       [&](Bytes& b) { PutU32(b, l.rootVersionEntry + 4, kSub); }},
      {"name directory points at itself",
       [&](Bytes& b) { PutU32(b, l.typeDir + 20, kSub | uint32_t(l.typeDir - l.resourceDir)); }},
      {"language directory points at itself",
       [&](Bytes& b) { PutU32(b, l.langDir + 20, kSub | uint32_t(l.langDir - l.resourceDir)); }},
      {"RT_VERSION entry is a data entry", [&](Bytes& b) { PutU32(b, l.rootVersionEntry + 4, 0); }},
      {"no RT_VERSION entry", [&](Bytes& b) { PutU32(b, l.rootVersionEntry, 17); }},
      {"name directory empty", [&](Bytes& b) { PutU32(b, l.typeDir + 12, 0); }},
      {"entry count past the end", [&](Bytes& b) { PutU16(b, l.resourceDir + 14, 0xFFFF); }},
      {"directory offset past the end",
       [&](Bytes& b) { PutU32(b, l.rootVersionEntry + 4, kSub | 0x7FFFFFF0u); }},
      {"data size past the end", [&](Bytes& b) { PutU32(b, l.dataEntry + 4, 0xFFFFFFFFu); }},
      {"data address past the end", [&](Bytes& b) { PutU32(b, l.dataEntry, 0xFFFFFFF0u); }},
      {"data size zero", [&](Bytes& b) { PutU32(b, l.dataEntry + 4, 0); }},
      {"block longer than its data", [&](Bytes& b) { PutU16(b, l.block, 0xFFFF); }},
      {"block length zero", [&](Bytes& b) { PutU16(b, l.block, 0); }},
      {"block key without terminator",
       [&](Bytes& b) { PutU16(b, l.block, 6 + 2 * 15); }},
      {"PE header offset past the end", [&](Bytes& b) { PutU32(b, 0x3C, 0xFFFFFFF0u); }},
      {"no PE signature", [&](Bytes& b) { b[l.peOffset] = 'X'; }},
      {"no MZ signature", [&](Bytes& b) { b[0] = 'X'; }},
      {"section count past the end", [&](Bytes& b) { PutU16(b, l.peOffset + 6, 0xFFFF); }},
      {"optional header size past the end",
       [&](Bytes& b) { PutU16(b, l.peOffset + 20, 0xFFFF); }},
      {"unknown optional header", [&](Bytes& b) { PutU16(b, l.optionalOffset, 0x107); }},
      {"too few data directories", [&](Bytes& b) { PutU32(b, l.optionalOffset + 92, 2); }},
      {"resource section data past the end",
       [&](Bytes& b) { PutU32(b, l.rsrcSection + 20, 0xFFFFFF00u); }},
      {"resource directory outside every section",
       [&](Bytes& b) { PutU32(b, l.optionalOffset + 96 + 16, 0x7FFF0000u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b = pe;
    c.damage(b);
    TFileInfo info = StaleFileInfo();
    EXPECT_FALSE(GetFileInfoFromBytes(b, info, {"BuildChannel"}));
    ExpectEmpty(info, 1);
  }
}

TEST(FileVersionPe, SixtyFourBitHeadersFindTheSameResource) {
  // The fixture's headers rewritten in the 64-bit layout: the data directories start 16
  // bytes later, so the count and the resource entry move.
  Bytes b = ReadAll(kFixture);
  const PeLayout l(b);
  const uint32_t resRva = U32(b, l.optionalOffset + 96 + 16);
  const uint32_t resSize = U32(b, l.optionalOffset + 96 + 20);
  PutU16(b, l.optionalOffset, 0x20B);
  PutU32(b, l.optionalOffset + 108, 16);
  PutU32(b, l.optionalOffset + 112 + 16, resRva);
  PutU32(b, l.optionalOffset + 112 + 20, resSize);
  TFileInfo info;
  ASSERT_TRUE(GetFileInfoFromBytes(b, info, {"BuildChannel"}));
  EXPECT_EQ(info.Version, "6.6.1.2810");
  EXPECT_EQ(info.FileDescription, "版本信息测试程序");
  EXPECT_EQ(info.CustomFieldValue, CustomFieldValue{"stable"});
}

TEST(FileVersionPe, DamagedStringEntryEndsTheTableButKeepsTheRest) {
  Bytes b = ReadAll(kFixture);
  PutU16(b, FindUtf16(b, "CompanyName") - 6, 0);
  TFileInfo info;
  ASSERT_TRUE(GetFileInfoFromBytes(b, info));
  EXPECT_EQ(info.Version, "6.6.1.2810");
  EXPECT_EQ(info.CommpanyName, "");
  EXPECT_EQ(info.ProductName, "");
}

TEST(FileVersionPe, StringsNeedTheTableOfTheFirstTranslation) {
  Bytes b = ReadAll(kFixture);
  const size_t table = FindUtf16(b, "080404B0");
  b[table] = '1';  // the table is now "180404B0"
  TFileInfo info;
  ASSERT_TRUE(GetFileInfoFromBytes(b, info, {"BuildChannel"}));
  EXPECT_EQ(info.Version, "6.6.1.2810");
  EXPECT_EQ(info.CommpanyName, "");
  EXPECT_EQ(info.CustomFieldValue, CustomFieldValue{""});
}

TEST(FileVersionPe, EveryTruncationGivesFalseOrTheWholeResult) {
  const Bytes pe = ReadAll(kFixture);
  TFileInfo whole;
  ASSERT_TRUE(GetFileInfoFromBytes(pe, whole, {"BuildChannel"}));
  const size_t block = PeLayout(pe).block;
  const size_t blockEnd = block + (pe[block] | (pe[block + 1] << 8));
  for (size_t n = 0; n < pe.size(); ++n) {
    TFileInfo info = StaleFileInfo();
    const bool ok = GetFileInfoFromBytes(std::span(pe.data(), n), info, {"BuildChannel"});
    if (n < blockEnd) {
      ASSERT_FALSE(ok) << n;
    }
    if (!ok) {
      ExpectEmpty(info, 1);
    } else {
      EXPECT_EQ(info.Version, whole.Version) << n;
      EXPECT_EQ(info.CustomFieldValue, whole.CustomFieldValue) << n;
    }
    if (testing::Test::HasFailure()) FAIL() << "at length " << n;
  }
}

// --- synthetic ELF files ----------------------------------------------------------------

void Append32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

Bytes Note(const std::string& owner, uint32_t type, const Bytes& desc) {
  Bytes n;
  Append32(n, uint32_t(owner.size() + 1));
  Append32(n, uint32_t(desc.size()));
  Append32(n, type);
  n.insert(n.end(), owner.begin(), owner.end());
  n.push_back(0);
  Pad4(n);
  n.insert(n.end(), desc.begin(), desc.end());
  Pad4(n);
  return n;
}

Bytes Descriptor(const std::vector<std::pair<std::string, std::string>>& strings) {
  Bytes d;
  const uint32_t fixed[13] = {0xFEEF04BD, 0x10000, (1u << 16) | 2, (3u << 16) | 4, (5u << 16) | 6, 0, 7};
  for (uint32_t w : fixed) Append32(d, w);
  Append32(d, 0x0804 | (0x04B0u << 16));
  for (const auto& [k, v] : strings) {
    d.insert(d.end(), k.begin(), k.end());
    d.push_back(0);
    d.insert(d.end(), v.begin(), v.end());
    d.push_back(0);
  }
  d.push_back(0);
  return d;
}

constexpr uint32_t kNoteType = 0x5A56;

const Bytes kGoodNotes = [] {
  Bytes notes = Note("GNU", 3, Bytes{1, 2, 3, 4, 5});  // a foreign note first, odd size
  const Bytes ours = Note("ZENT", kNoteType,
                          Descriptor({{"CompanyName", "Elf Co"}, {"Comments", "中文注释"}}));
  notes.insert(notes.end(), ours.begin(), ours.end());
  return notes;
}();

// A minimal little-endian ELF with the notes found through one PT_NOTE program header or,
// with `sections`, one SHT_NOTE section header.
struct ElfOffsets {
  size_t phdr = 0, shdr = 0;
};
Bytes MakeElf(bool is64, bool sections, const Bytes& notes, ElfOffsets* where = nullptr) {
  const size_t ehSize = is64 ? 64 : 52, phSize = is64 ? 56 : 32, shSize = is64 ? 64 : 40;
  Bytes b(ehSize, 0);
  std::memcpy(b.data(), "\x7F" "ELF", 4);
  b[4] = is64 ? 2 : 1;
  b[5] = 1;
  b[6] = 1;
  auto put = [&](size_t off, uint64_t v, int size) {
    for (int i = 0; i < size; ++i) b[off + i] = uint8_t(v >> (8 * i));
  };
  const int word = is64 ? 8 : 4;
  const size_t phoff = ehSize;
  const size_t noteOff = sections ? ehSize : ehSize + phSize;
  const size_t shoff = noteOff + notes.size();
  if (!sections) {
    put(is64 ? 32 : 28, phoff, word);
    put(is64 ? 54 : 42, phSize, 2);
    put(is64 ? 56 : 44, 1, 2);
  } else {
    put(is64 ? 40 : 32, shoff, word);
    put(is64 ? 58 : 46, shSize, 2);
    put(is64 ? 60 : 48, 2, 2);
  }
  b.resize(noteOff);
  if (!sections) {
    if (where) where->phdr = phoff;
    put(phoff, 4, 4);  // PT_NOTE
    put(phoff + (is64 ? 8 : 4), noteOff, word);
    put(phoff + (is64 ? 32 : 16), notes.size(), word);
    put(phoff + (is64 ? 48 : 28), 4, word);
  }
  b.insert(b.end(), notes.begin(), notes.end());
  if (sections) {
    if (where) where->shdr = shoff + shSize;
    b.resize(shoff + 2 * shSize, 0);
    const size_t s = shoff + shSize;
    put(s + 4, 7, 4);  // SHT_NOTE
    put(s + (is64 ? 24 : 16), noteOff, word);
    put(s + (is64 ? 32 : 20), notes.size(), word);
    put(s + (is64 ? 48 : 32), 4, word);
  }
  return b;
}

struct ElfKind {
  bool is64;
  bool sections;
};
const ElfKind kElfKinds[] = {{true, false}, {false, false}, {true, true}, {false, true}};

TEST(FileVersionElf, ReadsTheNoteThroughProgramOrSectionHeaders) {
  for (const ElfKind k : kElfKinds) {
    SCOPED_TRACE(testing::Message() << "64-bit " << k.is64 << ", sections " << k.sections);
    TFileInfo info = StaleFileInfo();
    ASSERT_TRUE(GetFileInfoFromBytes(MakeElf(k.is64, k.sections, kGoodNotes), info,
                                     {"comments"}));
    EXPECT_EQ(info.Version, "1.2.3.4");
    EXPECT_EQ(info.ProductVersion, "5.6.0.0");
    EXPECT_EQ(info.CommpanyName, "Elf Co");
    EXPECT_EQ(info.Comments, "中文注释");
    EXPECT_EQ(info.ProductName, "");
    EXPECT_EQ(info.CustomFieldValue, CustomFieldValue{"中文注释"});
    EXPECT_EQ(info.VsFixedFileInfo.dwFileFlagsMask, 7u);
  }
}

TEST(FileVersionElf, EveryTruncationGivesFalseAndEmptyFields) {
  for (const ElfKind k : kElfKinds) {
    const Bytes elf = MakeElf(k.is64, k.sections, kGoodNotes);
    for (size_t n = 0; n < elf.size(); ++n) {
      TFileInfo info = StaleFileInfo();
      ASSERT_FALSE(GetFileInfoFromBytes(std::span(elf.data(), n), info, {"X"})) << n;
      ExpectEmpty(info, 1);
      if (testing::Test::HasFailure()) FAIL() << "at length " << n;
    }
  }
}

TEST(FileVersionElf, CraftedFilesGiveFalseAndEmptyFields) {
  ElfOffsets at;
  const Bytes good = MakeElf(true, false, kGoodNotes, &at);
  const size_t notes = 64 + 56;
  const size_t ours = notes + Note("GNU", 3, Bytes{1, 2, 3, 4, 5}).size();
  struct Case {
    const char* what;
    Bytes elf;
  };
  auto patched = [&](size_t off, uint64_t v, int size) {
    Bytes b = good;
    std::memcpy(b.data() + off, &v, static_cast<size_t>(size));  // the host is little-endian
    return b;
  };
  const Case cases[] = {
      {"big-endian", patched(5, 2, 1)},
      {"unknown class", patched(4, 3, 1)},
      {"no ELF magic", patched(1, 'X', 1)},
      {"program headers past the end", patched(32, 0xFFFFFFFFFFFFFF00ull, 8)},
      {"program header size too small", patched(54, 8, 2)},
      {"program header count past the end", patched(56, 0xFFFF, 2)},
      {"note offset past the end", patched(at.phdr + 8, 0xFFFFFFFFFFFFFFF0ull, 8)},
      {"note size past the end", patched(at.phdr + 32, 0x7FFFFFFF, 8)},
      {"foreign note name size past the end", patched(notes, 0xFFFFFFF0u, 4)},
      {"foreign note descriptor size past the end", patched(notes + 4, 0xFFFFFFF0u, 4)},
      {"our descriptor size past the end", patched(ours + 4, 0xFFFFFFF0u, 4)},
      {"our descriptor too short for the fixed part", patched(ours + 4, 40, 4)},
      {"wrong note type", patched(ours + 8, 1, 4)},
      {"wrong owner", patched(ours + 12, 'X', 1)},
      {"descriptor without closing key",
       MakeElf(true, false, Note("ZENT", kNoteType, [] {
                 Bytes d = Descriptor({{"CompanyName", "x"}});
                 d.pop_back();
                 return d;
               }()))},
      {"descriptor with a key but no value",
       MakeElf(true, false, Note("ZENT", kNoteType, [] {
                 Bytes d = Descriptor({});
                 d.pop_back();
                 for (char c : std::string("Key")) d.push_back(uint8_t(c));
                 d.push_back(0);
                 return d;
               }()))},
      {"no notes at all", MakeElf(true, false, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFileInfo info = StaleFileInfo();
    EXPECT_FALSE(GetFileInfoFromBytes(c.elf, info, {"X"}));
    ExpectEmpty(info, 1);
  }
}

TEST(FileVersionElf, InvalidUtf8InTheNoteIsReplaced) {
  const Bytes elf = MakeElf(true, false,
                            Note("ZENT", kNoteType, Descriptor({{"CompanyName", "A\xFF\xC0Z"}})));
  TFileInfo info;
  ASSERT_TRUE(GetFileInfoFromBytes(elf, info));
  EXPECT_EQ(info.CommpanyName, "A\uFFFD\uFFFDZ");
}

}  // namespace
}  // namespace zent
