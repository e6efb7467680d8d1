#include "update/HandOffRecord.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"

namespace zent {
namespace {

using namespace zent::testing;

const std::string kHashA(64, 'a');
const std::string kHashB(64, 'b');

TEST(HandOffRecord, JudgesThePreviousHandOffByTheProgramsVersion) {
  struct Case {
    const char* name;
    bool record;
    const char* recordedAppVersion;
    const char* appVersion;
    THandOffVerdict verdict;
  };
  const Case cases[] = {
      {"nothing handed off", false, "", "7.0.0.1", THandOffVerdict::None},
      {"installer failed or refused", true, "7.0.0.1", "7.0.0.1", THandOffVerdict::Failed},
      {"installed the newer build", true, "7.0.0.1", "7.0.0.2", THandOffVerdict::Succeeded},
      {"installed an older build", true, "7.0.0.2", "7.0.0.1", THandOffVerdict::Succeeded},
      {"record without version", true, "", "7.0.0.1", THandOffVerdict::Succeeded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<THandOffRecord> record;
    if (c.record) record = THandOffRecord{"DO2_U_a.exe", kHashA, "7.0.0.2", c.recordedAppVersion};
    EXPECT_EQ(JudgeHandOff(record, c.appVersion), c.verdict);
  }
}

TEST(HandOffRecord, IsWrittenReadAndRemovedInItsFolder) {
  const std::string folder = FreshFolder("handoff-record");
  EXPECT_FALSE(ReadHandOffRecord(folder));
  const THandOffRecord written{"LumoBrowserUpdate_setup v2.exe", kHashA, "7.0.0.2", "7.0.0.1"};
  WriteHandOffRecord(folder, written);
  const auto read = ReadHandOffRecord(folder);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->packageName, written.packageName);
  EXPECT_EQ(read->sha256, written.sha256);
  EXPECT_EQ(read->packageVersion, written.packageVersion);
  EXPECT_EQ(read->appVersion, written.appVersion);
  RemoveHandOffRecord(folder);
  EXPECT_FALSE(ReadHandOffRecord(folder));
  WriteFile(folder + kHandOffRecordName, "[HandOff]\nAppVersion=1\n");  // names no package
  EXPECT_FALSE(ReadHandOffRecord(folder));
}

TEST(FailedPackages, KeepTheNewestSixteenOnceEach) {
  std::vector<TFailedPackage> list;
  for (int i = 0; i < 20; ++i) AddFailedPackage(list, {"", "DO2_U_" + std::to_string(i) + ".exe"});
  ASSERT_EQ(list.size(), kMaxFailedPackages);
  EXPECT_EQ(list.front().name, "DO2_U_4.exe");
  EXPECT_EQ(list.back().name, "DO2_U_19.exe");
  // The same package again moves to the end instead of taking a second place.
  AddFailedPackage(list, {kHashA, "DO2_U_4.exe"});
  EXPECT_EQ(list.size(), kMaxFailedPackages);
  EXPECT_EQ(list.back(), (TFailedPackage{kHashA, "DO2_U_4.exe"}));
  AddFailedPackage(list, {kHashA, "DO2_U_renamed.exe"});  // same bytes, other name
  EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const auto& e) { return e.sha256 == kHashA; }), 1);
  EXPECT_EQ(ParseFailedPackages(FormatFailedPackages(list)), list);
}

TEST(FailedPackages, DamagedLinesAreSkipped) {
  const auto list = ParseFailedPackages("- DO2_U_a.exe\r\n" + kHashB + " LumoBrowserUpdate_x y.exe\n"
                                        "nothex DO2_U_b.exe\n" + kHashA + "\n\n" + kHashA + " \n");
  EXPECT_EQ(list, (std::vector<TFailedPackage>{{"", "DO2_U_a.exe"}, {kHashB, "LumoBrowserUpdate_x y.exe"}}));
}

TEST(FailedPackages, AreFoundByNameOrBytes) {
  const std::string folder = FreshFolder("failed-list");
  TFailedPackages failed(folder);
  EXPECT_FALSE(failed.Contains("DO2_U_a.exe"));  // no list yet
  failed.Add({kHashA, "DO2_U_a.exe"});
  EXPECT_TRUE(failed.Contains("DO2_U_a.exe"));
  EXPECT_TRUE(failed.Contains("DO2_U_other.exe", kHashA));
  EXPECT_FALSE(failed.Contains("DO2_U_other.exe", kHashB));
  EXPECT_FALSE(failed.Contains("DO2_U_other.exe"));
}

}  // namespace
}  // namespace zent
