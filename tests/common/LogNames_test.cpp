#include "common/LogNames.h"

#include <gtest/gtest.h>

namespace zent {
namespace {

TEST(LogNames, ElapsedTexts) {
  const struct {
    int64_t ms;
    const char* text;
  } cases[] = {
      {0, "0毫秒"},
      {999, "999毫秒"},
      {1000, "1.000秒"},
      {1005, "1.005秒"},
      {59999, "59.999秒"},
      {60000, "1分钟0.000秒"},
      {61000, "1分钟1.000秒"},
      {3599999, "59分钟59.999秒"},
      {3600000, "1小时0分钟0.000秒"},
      {90061001, "25小时1分钟1.001秒"},
  };
  for (const auto& c : cases) EXPECT_EQ(ElapsedText(c.ms), c.text) << c.ms;
}

TEST(LogNames, FolderAndFilePartOfEverySplit) {
  const LogDateTime t{2024, 3, 5, 7, 8, 9, 10};
  const TFileLogSplit all[] = {flsNone, flsYear, flsMonth, flsDay, flsHour};
  // Row: folder split; columns: file split flsNone..flsHour.
  const struct {
    const char* folder;
    const char* files[5];
  } rows[] = {
      {"", {"", "2024", "2024-03", "2024-03-05", "2024-03-05.07"}},
      {"2024", {"", "", "03", "03-05", "03-05.07"}},
      {"2024-03", {"", "", "", "05", "05.07"}},
      {"2024-03-05", {"", "", "", "", "07"}},
      {"2024-03-05.07", {"", "", "", "", ""}},
  };
  for (int d = 0; d < 5; ++d) {
    EXPECT_EQ(LogFolderPart(all[d], t), rows[d].folder) << d;
    for (int f = 0; f < 5; ++f) EXPECT_EQ(LogFilePart(all[d], all[f], t), rows[d].files[f]) << d << "/" << f;
  }
}

TEST(LogNames, StampsArePaddedAndFileNameSafe) {
  const LogDateTime t{2024, 1, 5, 3, 4, 5, 7};
  std::string stamp = "x";
  AppendLogStamp(stamp, t);
  EXPECT_EQ(stamp, "x[2024-01-05 03:04:05.007]");
  EXPECT_EQ(LogFileNameStamp(t), "[2024-01-05 03.04.05.007]");
}

// The reference hash, written from the rule over UTF-16 code units.
uint32_t ReferenceHash(std::u16string_view name) {
  uint32_t h = 0;
  for (char16_t c : name) h = ((h << 5) | (h >> 27)) ^ c;
  return h;
}

TEST(LogNames, NameHashOverUtf16Units) {
  EXPECT_EQ(LogNameHash("a:b"), 0x18322u);
  EXPECT_EQ(LogNameHashText(LogNameHash("a:b")), "18322");
  // Non-ASCII and a character outside the BMP (two code units).
  EXPECT_EQ(LogNameHash("日志/\xF0\x9F\x98\x80"), ReferenceHash(u"日志/\U0001F600"));
  const std::u16string longName(40, u'?');
  EXPECT_EQ(LogNameHash(std::string(40, '?')), ReferenceHash(longName));
  EXPECT_EQ(LogNameHashText(0x5), "05");
  EXPECT_EQ(LogNameHashText(0xABCDEF01), "ABCDEF01");
}

TEST(LogNames, FolderDates) {
  using namespace std::chrono;
  const struct {
    const char* name;
    bool isDate;
  } cases[] = {
      {"2024-01-15", true}, {"2024-1-5", true},     {"2024-02-29", true},  {"2023-02-29", false},
      {"2024-13-01", false}, {"2024-01-15.10", false}, {"2024-01", false}, {"2024", false},
      {"notes", false},     {"", false},           {"2024-001-01", false}, {"-2024-01-01", false},
      {"2024-01-15x", false}, {"20240-01-15", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLogFolderDate(c.name).has_value(), c.isDate) << c.name;
  EXPECT_EQ(*ParseLogFolderDate("2024-1-5"), sys_days{2024y / January / 5});
}

}  // namespace
}  // namespace zent
