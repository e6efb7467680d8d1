// Small system facts with a contract of their own: the version's form, one tick for every
// process, local calendar time, case mapping, and where per-user data lives.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/LocalTime.h"
#include "platform/OsVersion.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

namespace zent::platform {
namespace {

TEST(SystemInfo, VersionIsMajorDotMinorAndRead) {
  const std::string version = OsMajorMinorVersion();
  EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]+\\.[0-9]+"))) << version;
  EXPECT_NE(version, "0.0");
}

TEST(SystemInfo, TheTickIsMonotonicAndItsLow32Bits) {
  const int64_t before = MonotonicMs();
  const uint32_t tick = TickCount();
  const int64_t after = MonotonicMs();
  EXPECT_GE(after, before);
  EXPECT_GT(before, 0);
  // The 32-bit tick lies between the two full readings, modulo the wrap.
  EXPECT_LE(static_cast<uint32_t>(tick - static_cast<uint32_t>(before)),
            static_cast<uint32_t>(after - before));
}

TEST(SystemInfo, LocalTimeOfAKnownMomentIsWithinADayOfIt) {
  std::tm tm{};
  ASSERT_TRUE(ToLocalTime(1700000000, tm));  // 2023-11-14 22:13:20 UTC
  EXPECT_EQ(tm.tm_year, 123);
  EXPECT_EQ(tm.tm_mon, 10);
  EXPECT_GE(tm.tm_mday, 14);
  EXPECT_LE(tm.tm_mday, 15);
}

TEST(SystemInfo, UpperCaseMapsEveryCasedLetterAndRepairsDamage) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc xyz", "ABC XYZ"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"},        // été -> ÉTÉ
      {"\xD0\xB6", "\xD0\x96"},                          // ж -> Ж
      {"\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87"},  // 中文 has no case
      {"a\xFF" "b", "A\xEF\xBF\xBD" "B"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UpperCaseText(c.in), c.out) << c.in;
}

TEST(SystemInfo, RoamingDataFolderEndsInASeparatorAndTheTestFolderIsWritable) {
  testing::TempDir dir;
  const auto folder = RoamingAppDataFolder();
  ASSERT_TRUE(folder.has_value());
  ASSERT_FALSE(folder->empty());
  EXPECT_TRUE(folder->back() == '/' || folder->back() == '\\') << *folder;
  EXPECT_TRUE(IsWritableFolder(dir.path()));
  EXPECT_FALSE(IsWritableFolder(dir / "missing"));
  EXPECT_FALSE(IsWritableFolder(""));
}

}  // namespace
}  // namespace zent::platform
