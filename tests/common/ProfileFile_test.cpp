// Profile files: the lookup rules of the Windows profile functions, edits that keep every
// other byte, and files that are damaged, hostile or written concurrently.
#include "common/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "common/Encoding.h"
#include "ProfileFileTest.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Utf16Le(std::string_view utf8, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t u : Utf8ToUtf16(utf8)) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

struct FindCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class ProfileTextFind : public ::testing::TestWithParam<FindCase> {};

TEST_P(ProfileTextFind, FindsAsTheWindowsProfileFunctionsDo) {
  const FindCase& c = GetParam();
  EXPECT_EQ(ProfileText(c.text).Find(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, ProfileTextFind,
    ::testing::Values(
        FindCase{"Plain", "[Other]\r\nSingleInst=0\r\n", "Other", "SingleInst", "0"},
        FindCase{"NamesIgnoreCase", "[other]\nsingleINST=1\n", "OTHER", "SingleInst", "1"},
        FindCase{"BlanksAroundEverything", "  [ Other ]  \n\t Key \t=  a b  \t\n", "Other", "Key", "a b"},
        FindCase{"DoubleQuotesRemoved", "[S]\nK=\" padded \"\n", "S", "K", " padded "},
        FindCase{"SingleQuotesRemoved", "[S]\nK='x'\n", "S", "K", "x"},
        FindCase{"OnlyOnePairRemoved", "[S]\nK=\"\"x\"\"\n", "S", "K", "\"x\""},
        FindCase{"MismatchedQuotesKept", "[S]\nK=\"x'\n", "S", "K", "\"x'"},
        FindCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", "\""},
        FindCase{"EmptyValue", "[S]\nK=\n", "S", "K", ""},
        FindCase{"EqualsInValue", "[S]\nK=a=b\n", "S", "K", "a=b"},
        FindCase{"FirstKeyWins", "[S]\nK=1\nK=2\n", "S", "K", "1"},
        FindCase{"FirstSectionWins", "[S]\nA=1\n[S]\nK=2\n", "S", "K", std::nullopt},
        FindCase{"FirstSectionsKeyWins", "[S]\nK=1\n[S]\nK=2\n", "S", "K", "1"},
        FindCase{"NextSectionEndsSection", "[A]\n[B]\nK=1\n", "A", "K", std::nullopt},
        FindCase{"CommentedKeyIgnored", "[S]\n;K=1\n  ; K=2\nK=3\n", "S", "K", "3"},
        FindCase{"NoInlineComments", "[S]\nK=1 ; note\n", "S", "K", "1 ; note"},
        FindCase{"CommentedSectionIgnored", ";[S]\nK=1\n", "S", "K", std::nullopt},
        FindCase{"MissingSection", "[A]\nK=1\n", "B", "K", std::nullopt},
        FindCase{"MissingKey", "[A]\nK=1\n", "A", "L", std::nullopt},
        FindCase{"KeyBeforeAnySection", "K=1\n[A]\n", "A", "K", std::nullopt},
        FindCase{"LineWithoutEquals", "[A]\nK\n", "A", "K", std::nullopt},
        FindCase{"UnclosedHeaderIsNoSection", "[A]\n[B\nK=1\n", "A", "K", "1"},
        FindCase{"LastBracketClosesHeader", "[a]b]\nK=1\n", "a]b", "K", "1"},
        FindCase{"LoneCrBreaksLines", "[A]\rK=1\rL=2", "A", "L", "2"},
        FindCase{"NoFinalLineBreak", "[A]\nK=1", "A", "K", "1"},
        FindCase{"Utf8Bom", "\xEF\xBB\xBF[A]\nK=1\n", "A", "K", "1"},
        FindCase{"ChineseValue", "[A]\nK=服务器\n", "A", "K", "服务器"},
        FindCase{"ValueEndsAtNul", "[A]\nK=ab\0cd\n"s, "A", "K", "ab"},
        FindCase{"DamagedUtf8Replaced", "[A]\nK=a\xFF" "b\n", "A", "K", "a\xEF\xBF\xBD" "b"},
        FindCase{"Utf16Le", Utf16Le("[其他]\r\nK=值\r\n"), "其他", "K", "值"},
        FindCase{"Utf16LeOddTail", Utf16Le("[A]\r\nK=1") + "\x41", "A", "K", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SetCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class ProfileTextSet : public ::testing::TestWithParam<SetCase> {};

TEST_P(ProfileTextSet, EditsOnlyWhatItMust) {
  const SetCase& c = GetParam();
  ProfileText text(c.before);
  text.Set(c.section, c.key, c.value);
  EXPECT_EQ(text.Bytes(), c.after);
  EXPECT_EQ(text.Find(c.section, c.key), std::string(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ProfileTextSet,
    ::testing::Values(
        SetCase{"NewFile", "", "Other", "K", "v", "[Other]\r\nK=v\r\n"},
        SetCase{"ReplaceKeepsOtherLines", "; c \n[Other]\n  key = old  \nX= 1 \n", "Other", "Key",
                "new", "; c \n[Other]\nkey=new\nX= 1 \n"},
        SetCase{"ReplaceKeepsLineBreak", "[A]\r\nK=1\rL=2", "A", "K", "9", "[A]\r\nK=9\rL=2"},
        SetCase{"NewKeyAtEndOfSection", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "A", "z", "3",
                "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
        SetCase{"NewKeyAfterTrailingComment", "[A]\nx=1\n;end\n\n", "A", "z", "3",
                "[A]\nx=1\n;end\nz=3\n\n"},
        SetCase{"NewKeyWithoutFinalBreak", "[A]\nx=1", "A", "z", "3", "[A]\nx=1\nz=3"},
        SetCase{"NewKeyUnderBareHeader", "[A]", "A", "z", "3", "[A]\r\nz=3"},
        SetCase{"NewSectionAtEnd", "[A]\nx=1", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
        SetCase{"NewSectionAfterBlankLine", "[A]\nx=1\n\n", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
        SetCase{"FirstOfDuplicateSections", "[A]\nx=1\n[A]\nz=2\n", "A", "z", "3",
                "[A]\nx=1\nz=3\n[A]\nz=2\n"},
        SetCase{"NamesIgnoreCase", "[OTHER]\nSINGLEINST=1\n", "Other", "SingleInst", "0",
                "[OTHER]\nSINGLEINST=0\n"},
        SetCase{"BomKept", "\xEF\xBB\xBF[A]\nx=1\n", "A", "x", "2", "\xEF\xBB\xBF[A]\nx=2\n"},
        SetCase{"Utf16Kept", Utf16Le("[A]\r\nx=1\r\n"), "A", "y", "中", Utf16Le("[A]\r\nx=1\r\ny=中\r\n")},
        SetCase{"Utf16BomOnly", Utf16Le(""), "A", "y", "2", Utf16Le("[A]\r\ny=2\r\n")},
        SetCase{"DamagedLinesKept", "\xFD\xFE\xFF garbage\n[A]\n\0x=1\n"s, "A", "y", "2",
                "\xFD\xFE\xFF garbage\n[A]\n\0x=1\ny=2\n"s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileTextSet, RefusesWhatCouldNotBeReadBack) {
  // Each of these would either be read back differently or let a value inject lines.
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } bad[] = {{"A", "K", "1\r\n[Other]\r\nSingleInst=0"}, {"A", "K", "a\nb"}, {"A", "K", "a\0b"s},
             {"A]", "K", "v"}, {"", "K", "v"}, {" A", "K", "v"}, {"A", "", "v"}, {"A", "K=", "v"},
             {"A", ";K", "v"}, {"A", "[K", "v"}, {"A", "K\n", "v"}, {"A", "K", "a\xFF"},
             {"\xFF\xFF", "K", "v"}, {"A", "K\xC3", "v"}};
  for (const auto& b : bad) {
    ProfileText text("[A]\nK=old\n");
    EXPECT_THROW(text.Set(b.section, b.key, b.value), EProfileError) << b.section << "/" << b.key;
    EXPECT_EQ(text.Bytes(), "[A]\nK=old\n");
  }
}

TEST(ProfileTextEntries, ListsEveryKeyUnderItsSectionInFileOrder) {
  using E = std::vector<std::tuple<std::string, std::string, std::string>>;
  auto list = [](const std::string& text) {
    E out;
    for (const auto& e : ProfileText(text).Entries()) out.emplace_back(e.section, e.key, e.value);
    return out;
  };
  EXPECT_EQ(list("orphan=1\r\n[A]\r\nk = \"v 1\" \r\n; note\r\nempty=\r\n[B]\nk=2\n[A]\rk=3"),
            (E{{"A", "k", "v 1"}, {"A", "empty", ""}, {"B", "k", "2"}, {"A", "k", "3"}}));
  EXPECT_EQ(list(Utf16Le("[中文]\r\n提示=注意\r\n")), (E{{"中文", "提示", "注意"}}));
  EXPECT_EQ(list("[S]\n\xFF=\xFE\n"), (E{{"S", "\xEF\xBF\xBD", "\xEF\xBF\xBD"}}));  // damaged bytes
  EXPECT_TRUE(list("").empty());
}

TEST(ProfileInteger, ParsesDecimalAndHexOnly) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {{"0", 0},
               {"42", 42},
               {"-7", -7},
               {"+5", 5},
               {"007", 7},
               {"0x1F", 31},
               {"0X1f", 31},
               {"0x0000001F", 31},
               {"0xFFFFFFFF", -1},
               {"-0x10", -16},
               {"2147483647", 2147483647},
               {"-2147483648", INT32_MIN},
               {"2147483648", std::nullopt},
               {"0x100000000", std::nullopt},
               {"99999999999999999999999", std::nullopt},
               {"12abc", std::nullopt},
               {"1.5", std::nullopt},
               {"0x", std::nullopt},
               {"0xG", std::nullopt},
               {"-", std::nullopt},
               {"", std::nullopt},
               {" 1", std::nullopt},
               {"true", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseProfileInteger(c.text), c.value) << c.text;
}

TEST_F(ProfileFileTest, MissingFileReadsDefaultsAndIsNotCreated) {
  ProfileFile file(PathOf("cfg.ini"));
  EXPECT_EQ(file.ReadString("A", "K", "def"), "def");
  EXPECT_EQ(file.ReadInteger("A", "K", 7), 7);
  EXPECT_TRUE(file.ReadBool("A", "K", true));
  EXPECT_FALSE(fs::exists(file.FileName()));
}

TEST_F(ProfileFileTest, FirstWriteCreatesTheFileInAnExistingFolderOnly) {
  ProfileFile file(PathOf("cfg.ini"));
  file.WriteBool("Other", "SingleInst", false);
  EXPECT_EQ(Get(file.FileName()), "[Other]\r\nSingleInst=0\r\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"cfg.ini"});

  ProfileFile nowhere(PathOf("missing/cfg.ini"));
  EXPECT_THROW(nowhere.WriteString("A", "K", "v"), EProfileError);
  EXPECT_FALSE(fs::exists(PathOf("missing")));
}

TEST_F(ProfileFileTest, ReadsAnewAtEveryCall) {
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), "[A]\nK=1\n");
  EXPECT_EQ(file.ReadInteger("A", "K", 0), 1);
  Put(file.FileName(), "[A]\nK=2\n");
  EXPECT_EQ(file.ReadInteger("A", "K", 0), 2);
}

TEST_F(ProfileFileTest, IntegersAndBooleans) {
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), "[A]\nHex=0x1F90\nTwo=2\nZero=0\nWord=yes\nEmpty=\nQuoted=\"12\"\n");
  EXPECT_EQ(file.ReadInteger("A", "Hex", 0), 8080);
  EXPECT_EQ(file.ReadInteger("A", "Word", -3), -3);
  EXPECT_EQ(file.ReadInteger("A", "Empty", -3), -3);
  EXPECT_EQ(file.ReadInteger("A", "Quoted", 0), 12);
  EXPECT_TRUE(file.ReadBool("A", "Two", false));
  EXPECT_FALSE(file.ReadBool("A", "Zero", true));
  EXPECT_TRUE(file.ReadBool("A", "Word", true));
  EXPECT_FALSE(file.ReadBool("A", "Word", false));

  file.WriteBool("A", "Two", true);
  file.WriteInteger("A", "Neg", -12);
  EXPECT_EQ(file.ReadString("A", "Two", ""), "1");
  EXPECT_EQ(file.ReadInteger("A", "Neg", 0), -12);
}

TEST_F(ProfileFileTest, WritesKeepOtherLines) {
  const std::string original =
      "; hand-written notes\r\n[LumoServer]\r\nHost = 10.0.0.5 \r\nPort=7006\r\n\r\n"
      "[Other]\r\nLastPath=/home/kasse/下载\r\n";
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), original);

  file.WriteString("LumoServer", "Url", "lumo7/");
  file.WriteString("lumoserver", "host", "10.0.0.6");
  EXPECT_EQ(Get(file.FileName()),
            "; hand-written notes\r\n[LumoServer]\r\nHost=10.0.0.6\r\nPort=7006\r\nUrl=lumo7/\r\n\r\n"
            "[Other]\r\nLastPath=/home/kasse/下载\r\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"cfg.ini"});
}

TEST_F(ProfileFileTest, Utf16FileStaysUtf16) {
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), Utf16Le("[Cnfg]\r\nFullScreenOnRun=0\r\n"));
  file.WriteBool("Cnfg", "FullScreenOnRun", true);
  EXPECT_EQ(Get(file.FileName()), Utf16Le("[Cnfg]\r\nFullScreenOnRun=1\r\n"));
  EXPECT_TRUE(file.ReadBool("Cnfg", "FullScreenOnRun", false));
}

// Damaged files read as defaults (or what parses), never crash and are never changed.
TEST_F(ProfileFileTest, DamagedFilesReadAsDefaultsAndStayUntouched) {
  std::mt19937 random(20240611);
  std::string noise(256 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string hugeLine = "[Other]\nSingleInst=" + std::string(10 << 20, '7');
  const std::string hugeName = "[" + std::string(10 << 20, 'A') + "]\nK=1";
  const std::string breaks = std::string(4 << 20, '\r') + std::string(4 << 20, '\n');
  const std::string nuls(1 << 20, '\0');
  const std::string oddUtf16 = "\xFF\xFE" + noise.substr(0, 1001);

  for (const std::string* bytes : std::initializer_list<const std::string*>{&noise, &hugeLine, &hugeName, &breaks, &nuls, &oddUtf16}) {
    ProfileFile file(PathOf("cfg.ini"));
    Put(file.FileName(), *bytes);
    EXPECT_TRUE(file.ReadBool("Other", "SingleInst", true));
    EXPECT_EQ(file.ReadString("LumoServer", "Host", "none"), "none");
    EXPECT_EQ(Get(file.FileName()), *bytes);
  }
  // Past the damage, what parses is still found.
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), noise + "\n[LumoServer]\nHost=10.1.1.1\n");
  EXPECT_EQ(file.ReadString("LumoServer", "Host", ""), "10.1.1.1");
}

TEST_F(ProfileFileTest, FolderIsNeitherReadNorReplaced) {
  fs::create_directory(PathOf("dir.ini"));
  ProfileFile folder(PathOf("dir.ini"));
  EXPECT_EQ(folder.ReadString("A", "K", "def"), "def");
  EXPECT_THROW(folder.WriteString("A", "K", "v"), EProfileError);
}

TEST_F(ProfileFileTest, OversizedFileReadsAsDefaultsAndIsNotOverwritten) {
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), "[A]\nK=1\n");
  // Sparse: the size is past the limit without using the disk.
  fs::resize_file(file.FileName(), ProfileFile::kMaxFileSize + 1);
  EXPECT_EQ(file.ReadString("A", "K", "def"), "def");
  EXPECT_THROW(file.WriteString("A", "K", "2"), EProfileError);
  EXPECT_EQ(fs::file_size(file.FileName()), ProfileFile::kMaxFileSize + 1);
}

// Writers that each read, change and replace the file must not lose each other's keys.
TEST_F(ProfileFileTest, ConcurrentWritersLoseNothing) {
  const std::string path = PathOf("cfg.ini");
  constexpr int kWriters = 4, kKeys = 25;
  {
    std::vector<std::jthread> writers;
    for (int w = 0; w < kWriters; ++w)
      writers.emplace_back([&, w] {
        ProfileFile file(path);
        for (int k = 0; k < kKeys; ++k)
          file.WriteInteger("W" + std::to_string(w), "K" + std::to_string(k), k);
      });
  }
  ProfileFile file(path);
  for (int w = 0; w < kWriters; ++w)
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(file.ReadInteger("W" + std::to_string(w), "K" + std::to_string(k), -1), k);
  EXPECT_EQ(Listing(), std::vector<std::string>{"cfg.ini"});
}

}  // namespace
}  // namespace zent
