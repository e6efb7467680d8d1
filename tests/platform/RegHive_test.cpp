#include "platform/RegHive.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zent::platform {
namespace {

const char kUser[] = "HKEY_CURRENT_USER\\SOFTWARE\\ZENT";

std::string Utf16le(const std::u16string& s, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : s) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

TEST(RegHive, ReadsTheExportFormat) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\r\n"
      "\"MachineGuid\"=\"{0A1B2C3D-0000-1111-2222-333344445555}\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\\\\"Lumo\\\"\"\r\n"
      "\"Count\"=dword:0000000a\r\n"
      "\"Big\"=dword:FFFFFFFF\r\n"
      "@=\"default\"\r\n"
      "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"Le\"=hex(4):78,56,34,12\r\n"
      "\"Bin\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Gone\"=-\r\n";
  const RegHive hive = RegHive::Parse(text);
  struct Case {
    const char* name;
    RegValueType type;
    std::string text;
    uint32_t dword;
  } cases[] = {
      {"machineguid", RegValueType::String, "{0A1B2C3D-0000-1111-2222-333344445555}", 0},
      {"Path", RegValueType::String, "C:\\Program Files\\\"Lumo\"", 0},
      {"COUNT", RegValueType::Dword, "", 10},
      {"Big", RegValueType::Dword, "", 0xFFFFFFFFu},
      {"", RegValueType::String, "default", 0},
      {"Exp", RegValueType::String, "%A%", 0},
      {"Le", RegValueType::Dword, "", 0x12345678u},
      {"Bin", RegValueType::Other, "hex:01,02,03,04", 0},
      {"Gone", RegValueType::Other, "-", 0},
  };
  for (const auto& c : cases) {
    const RegValue* v = hive.FindValue("hkey_current_user\\software\\zent", c.name);
    ASSERT_NE(v, nullptr) << c.name;
    EXPECT_EQ(v->type, c.type) << c.name;
    EXPECT_EQ(v->text, c.text) << c.name;
    EXPECT_EQ(v->dword, c.dword) << c.name;
  }
  EXPECT_EQ(hive.FindValue(kUser, "Missing"), nullptr);
  EXPECT_EQ(hive.FindValue("HKEY_CURRENT_USER\\SOFTWARE", "Count"), nullptr);
}

TEST(RegHive, KeysExistThroughTheirSubkeys) {
  const RegHive hive = RegHive::Parse("[HKEY_CURRENT_USER\\SOFTWARE\\ZENT\\Sub]\n");
  EXPECT_TRUE(hive.HasKey("HKEY_CURRENT_USER\\software\\zent\\SUB"));
  EXPECT_TRUE(hive.HasKey("HKEY_CURRENT_USER\\SOFTWARE\\ZENT"));
  EXPECT_TRUE(hive.HasKey("HKEY_CURRENT_USER\\SOFTWARE"));
  EXPECT_FALSE(hive.HasKey("HKEY_CURRENT_USER\\SOFTWARE\\ZEN"));
  EXPECT_FALSE(hive.HasKey("HKEY_CURRENT_USER\\SOFTWARE\\ZENT\\Sub\\Deeper"));
}

TEST(RegHive, EncodingsGiveTheSameHive) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\r\n"
      u"\"\u540D\"=\"\u5E7F\u64AD\U0001F600\"\r\n";
  const std::string utf8 =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\r\n"
      "\"\xE5\x90\x8D\"=\"\xE5\xB9\xBF\xE6\x92\xAD\xF0\x9F\x98\x80\"\r\n";
  const auto expected = RegHive::Parse(utf8).Keys();
  ASSERT_EQ(expected.size(), 1u);
  ASSERT_EQ(expected[0].values.size(), 1u);
  EXPECT_EQ(expected[0].values[0].text, "\xE5\xB9\xBF\xE6\x92\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(RegHive::Parse(Utf16le(text)).Keys(), expected);
  EXPECT_EQ(RegHive::Parse("\xEF\xBB\xBF" + utf8).Keys(), expected);
  // Written back as UTF-8 without a byte order mark, line ends as they were.
  EXPECT_EQ(RegHive::Parse(Utf16le(text)).Serialise(), utf8);
}

TEST(RegHive, RewriteKeepsWhatItDoesNotChange) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "; written by hand\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n"
      "\"List\"=hex(7):41,00,00,00,\\\n"
      "  00,00\n"
      "\"Count\"=dword:00000001\n"
      "this line means nothing\n"
      "\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n"
      "\"Q\"=qword:0000000000000001\n";
  RegHive hive = RegHive::Parse(text);
  EXPECT_EQ(hive.Serialise(), text);

  hive.SetDword(kUser, "count", 2);
  hive.SetString(kUser, "New", "v");
  hive.SetString("HKEY_CURRENT_USER\\SOFTWARE\\Third", "A", "b\"c\\d");
  EXPECT_EQ(hive.Serialise(),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "; written by hand\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n"
            "\"List\"=hex(7):41,00,00,00,\\\n"
            "  00,00\n"
            "\"Count\"=dword:00000002\n"
            "this line means nothing\n"
            "\"New\"=\"v\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n"
            "\"Q\"=qword:0000000000000001\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Third]\n"
            "\"A\"=\"b\\\"c\\\\d\"\n"
            "\n");
}

TEST(RegHive, WrittenValuesReadBack) {
  RegHive hive;
  struct Case {
    std::string name, value;
  } cases[] = {
      {"", "default"},
      {"quote\"and\\slash", "a\"b\\c\\"},
      {"lines", "one\r\ntwo\nthree"},
      {"chinese \xE5\x90\x8D", "\xE5\xB9\xBF\xE6\x92\xAD"},
      {"empty", ""},
      {"nul", std::string("cut\0here", 8)},
  };
  for (const auto& c : cases) hive.SetString(kUser, c.name, c.value);
  hive.SetDword(kUser, "n", 0xDEADBEEF);
  const RegHive back = RegHive::Parse(hive.Serialise());
  for (const auto& c : cases) {
    const RegValue* v = back.FindValue(kUser, c.name);
    ASSERT_NE(v, nullptr) << c.name;
    EXPECT_EQ(v->type, RegValueType::String);
    EXPECT_EQ(v->text, c.value.substr(0, c.value.find('\0'))) << c.name;
  }
  ASSERT_NE(back.FindValue(kUser, "N"), nullptr);
  EXPECT_EQ(back.FindValue(kUser, "N")->dword, 0xDEADBEEFu);
  EXPECT_TRUE(back.Serialise().starts_with("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER"));
}

TEST(RegHive, LaterLinesWinAndUpdatesGoToThem) {
  RegHive hive = RegHive::Parse(
      "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n\"A\"=\"1\"\n"
      "[hkey_current_user\\software\\zent]\n\"a\"=\"2\"\n");
  EXPECT_EQ(hive.FindValue(kUser, "A")->text, "2");
  hive.SetString(kUser, "A", "3");
  const auto keys = RegHive::Parse(hive.Serialise()).Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].values[0].text, "1");
  EXPECT_EQ(keys[1].values[0].text, "3");
  EXPECT_EQ(keys[1].values[0].name, "a");  // the file's spelling stays
}

TEST(RegHive, DamagedLinesStayOpaque) {
  const std::string text =
      "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n"
      "\"Open=\"never closed\n"
      "\"B\"=\"unterminated\n"
      "\"C\"=\"x\" trailing\n"
      "\"D\"=dword:123456789\n"
      "\"E\"=dword:xyz\n"
      "\"F\"=hex(1):4\n"
      "\"G\"=hex(4):01,02\n"
      "\"H\"=\"ok\"\n"
      "\"I\"=hex:01,\\";  // continuation at the end of the file
  const RegHive hive = RegHive::Parse(text);
  for (const char* name : {"Open", "B", "C"}) EXPECT_EQ(hive.FindValue(kUser, name), nullptr) << name;
  for (const char* name : {"D", "E", "G", "I"}) {
    ASSERT_NE(hive.FindValue(kUser, name), nullptr) << name;
    EXPECT_EQ(hive.FindValue(kUser, name)->type, RegValueType::Other) << name;
  }
  EXPECT_EQ(hive.FindValue(kUser, "F")->text, "\xEF\xBF\xBD");  // half a UTF-16 unit
  EXPECT_EQ(hive.FindValue(kUser, "H")->text, "ok");
  // The rewrite adds the header and otherwise gives the same lines back.
  EXPECT_EQ(hive.Serialise(), "Windows Registry Editor Version 5.00\n\n" + text + "\n");
}

TEST(RegHive, HostileBytesParseAndRoundTrip) {
  std::mt19937 rng(7);
  std::string alphabet = "[]\"\\@=:,\r\n dwordhex(1)(2)(4)HKEY_\xFF\xFE\xEF\xBB\xBF";
  alphabet += '\0';
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const size_t n = rng() % 400;
    for (size_t i = 0; i < n; ++i) bytes += alphabet[rng() % alphabet.size()];
    const RegHive first = RegHive::Parse(bytes);
    const RegHive second = RegHive::Parse(first.Serialise());
    EXPECT_EQ(first.Keys(), second.Keys()) << "round " << round;
  }
  // A huge line and a UTF-16 file cut in the middle of a unit.
  const RegHive huge = RegHive::Parse("[K]\n\"A\"=\"" + std::string(1 << 20, 'x'));
  EXPECT_EQ(huge.FindValue("K", "A"), nullptr);
  const RegHive cut = RegHive::Parse(Utf16le(u"[K]\r\n\"A\"=\"b\"").substr(0, 23));
  EXPECT_EQ(cut.Keys().size(), 1u);
}

// The hive in memory after an edit must be what its text reads back as.
TEST(RegHive, EditsMatchWhatTheFileReadsBack) {
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"continuation cut off by the end of the file", "[K]\n\"I\"=hex:01,\\"},
      {"continuation cut off, no section", "\"I\"=hex:01,\\"},
      {"two backslashes cut off", "[K]\n\"I\"=hex:01,\\\r\\"},
      {"line break in a value that is not UTF-8", "[K]\n"},
  };
  for (const auto& c : cases) {
    RegHive hive = RegHive::Parse(c.text);
    hive.SetString("K", "A", "\xFF\r\n\xC3");
    hive.SetDword("K", "B", 1);
    hive.SetString("HKEY_CURRENT_USER\\New", "C", "x");
    const RegHive back = RegHive::Parse(hive.Serialise());
    EXPECT_EQ(back.Keys(), hive.Keys()) << c.what;
    ASSERT_NE(back.FindValue("K", "A"), nullptr) << c.what;
    EXPECT_EQ(back.FindValue("K", "A")->text, "\xEF\xBF\xBD\r\n\xEF\xBF\xBD") << c.what;
    ASSERT_NE(back.FindValue("K", "B"), nullptr) << c.what;
    ASSERT_NE(back.FindValue("HKEY_CURRENT_USER\\New", "C"), nullptr) << c.what;
  }
}

TEST(RegHive, LineBreaksInKeyOrValueNamesAreRefused) {
  EXPECT_TRUE(RegHive::IsValidKeyPath(kUser));
  EXPECT_FALSE(RegHive::IsValidKeyPath(""));
  EXPECT_FALSE(RegHive::IsValidKeyPath("A\nB"));
  EXPECT_FALSE(RegHive::IsValidKeyPath(" A"));
  EXPECT_TRUE(RegHive::IsValidValueName(""));
  EXPECT_FALSE(RegHive::IsValidValueName("a\rb"));
  EXPECT_FALSE(RegHive::IsValidValueName(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace zent::platform
