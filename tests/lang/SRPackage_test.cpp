// The language package file: its exact bytes, header-only reading, and damaged files that
// must fail as format errors without reading or allocating past the end.
#include "lang/SRPackage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string U32(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>(v >> 24)};
}

// A length-prefixed UTF-16LE field for ASCII text.
std::string Field(std::string_view ascii) {
  std::string out = U32(static_cast<uint32_t>(ascii.size() * 2));
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

class SRPackageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "srpackage" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path dir_;
};

TEST_F(SRPackageFile, EmptyPackageIsTwelveBytes) {
  const std::string bytes = U32(1) + U32(0) + U32(0);
  TSRPackage p;
  p.SetType({"old", "x"});
  p.Load(Write("empty.lang", bytes));
  EXPECT_EQ(p.Type(), (TSRData{"", ""}));
  EXPECT_TRUE(p.Entries().empty());

  const std::string out = (dir_ / "again.lang").string();
  TSRPackage().Save(out);
  EXPECT_EQ(Read(out), bytes);
}

TEST_F(SRPackageFile, RoundTripUpperCasesKeysAndKeepsValues) {
  TSRPackage p;
  p.SetType({"en_us", "English"});
  p.SetScript("Abc", "Value Of abc");
  p.SetScript("提示", "Notice");
  p.SetScript("é", "accent");
  const std::string file = (dir_ / "rt.lang").string();
  p.Save(file);

  // The exact bytes: version, header, then entries in key order.
  std::string expected = U32(1) + Field("EN_US") + Field("English") + Field("ABC") + Field("Value Of abc");
  EXPECT_EQ(Read(file).substr(0, expected.size()), expected);

  TSRPackage q;
  q.Load(file);
  EXPECT_EQ(q.Type(), (TSRData{"EN_US", "English"}));
  EXPECT_EQ(q.GetScript("abc"), "Value Of abc");
  EXPECT_EQ(q.GetScript("ABC"), "Value Of abc");
  EXPECT_EQ(q.GetScript("提示"), "Notice");
  EXPECT_EQ(q.GetScript("É"), "accent");  // linguistic upper-casing, not only ASCII
  EXPECT_EQ(q.GetScript("missing"), "");
  EXPECT_EQ(q.Entries().count("ABC"), 1u);
}

TEST_F(SRPackageFile, DuplicateKeyKeepsTheSecondValue) {
  TSRPackage p;
  p.Load(Write("dup.lang", U32(1) + Field("X") + Field("") + Field("k") + Field("first") + Field("K") +
                               Field("second")));
  EXPECT_EQ(p.GetScript("k"), "second");
  EXPECT_EQ(p.Entries().size(), 1u);
}

TEST_F(SRPackageFile, ReadFileTypeReadsTheHeaderOnly) {
  TSRData type;
  // Entries after the header are damaged: the header alone is read.
  EXPECT_TRUE(TSRPackage::ReadFileType(Write("h.lang", U32(1) + Field("zh_cn") + Field("Chinese") + U32(999)), type));
  EXPECT_EQ(type, (TSRData{"ZH_CN", "Chinese"}));

  // Version 2: false, nothing beyond the version is read (the rest is garbage).
  TSRData untouched{"A", "B"};
  EXPECT_FALSE(TSRPackage::ReadFileType(Write("v2.lang", U32(2) + U32(0xFFFFFFFF)), untouched));
  EXPECT_EQ(untouched, (TSRData{"A", "B"}));

  TSRPackage p;
  p.SetType({"KEEP", "kept"});
  p.SetScript("x", "y");
  p.Load(Write("v2b.lang", U32(2) + Field("ZH") + Field("n")));
  EXPECT_TRUE(p.Entries().empty());
  EXPECT_EQ(p.Type(), (TSRData{"KEEP", "kept"}));
}

TEST_F(SRPackageFile, MissingFileRaisesDoesNotExist) {
  const std::string missing = (dir_ / "none.lang").string();
  TSRData type;
  try {
    TSRPackage::ReadFileType(missing, type);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "文件\"" + missing + "\"不存在");
  }
  EXPECT_THROW(TSRPackage().Load(missing), Exception);
}

// Every damaged layout is a format error, whether read whole or header only.
TEST_F(SRPackageFile, DamagedFilesAreFormatErrors) {
  const std::string header = U32(1) + Field("EN") + Field("E");
  const struct {
    const char* name;
    std::string bytes;
    bool headerDamaged;
  } cases[] = {
      {"empty file", "", true},
      {"short version", "\x01\x00"s, true},
      {"no identifier length", U32(1), true},
      {"identifier cut short", U32(1) + U32(10) + "a\0"s, true},
      {"identifier length past the end", U32(1) + U32(0x7FFFFFF0) + "a\0"s, true},
      {"huge identifier length", U32(1) + U32(0xFFFFFFFE), true},
      {"odd identifier length", U32(1) + U32(3) + "abc" + U32(0), true},
      {"no value length", U32(1) + Field("EN"), true},
      {"key length cut short", header + "\x02\x00"s, false},
      {"key past the end", header + U32(0xFFFFFFF0) + Field("v"), false},
      {"value missing", header + Field("k"), false},
      {"value past the end", header + Field("k") + U32(100) + "v\0"s, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Write("bad.lang", c.bytes);
    TSRPackage p;
    EXPECT_THROW(p.Load(file), ESRFormatError);
    TSRData type;
    if (c.headerDamaged) {
      EXPECT_THROW(TSRPackage::ReadFileType(file, type), ESRFormatError);
    } else {
      EXPECT_TRUE(TSRPackage::ReadFileType(file, type));
    }
    std::istringstream stream(c.bytes);
    EXPECT_THROW(p.Load(stream), ESRFormatError);
  }
}

TEST(SRPackage, FindScriptsMatchesUpperCaseKeys) {
  TSRPackage p;
  for (const char* k : {"MPC调用失败", "mpc2", "other", "提示"}) p.SetScript(k, "v");
  EXPECT_EQ(p.FindScripts("^MPC"), (std::vector<std::string>{"MPC2", "MPC调用失败"}));
  EXPECT_TRUE(p.FindScripts("^mpc").empty());  // case-sensitive over upper-cased keys
  EXPECT_TRUE(p.FindScripts("Z*").empty());     // only empty matches: none counts
  EXPECT_EQ(p.FindScripts("提"), (std::vector<std::string>{"提示"}));
  EXPECT_THROW(p.FindScripts("(unclosed"), ESRFormatError);
}

}  // namespace
}  // namespace zent
