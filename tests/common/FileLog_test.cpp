#include "common/FileLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "common/Errors.h"
#include "platform/AnsiCodePage.h"
#include "platform/Emulation.h"
#include "platform/Process.h"
#include "FileLogTest.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST_F(FileLogTest, SingleThreadLogGoldenBytes) {
  {
    TFileLog log("UpdateCheck", root_, "", {floNoIndex}, flsDay, flsDay);
    gNowMs = kT0 + 1;
    log.Log(2, "升级查询失败: x");
    gNowMs = kT0 + 2;
  }
  EXPECT_EQ(ReadFile(Day() / "UpdateCheck.log"),
            std::string("\r\n") + kStamp0 + " ****** Log Begin ******" +
                "\r\n[2024-01-15 10:20:30.124][2] 升级查询失败: x" +
                "\r\n[2024-01-15 10:20:30.125] ****** Log End ******");
}

TEST_F(FileLogTest, DefaultNamedMultiThreadLogGoldenBytes) {
  const std::string tid = Tid();
  {
    TFileLog log("", root_, "", {floMultiThread, floNoIndex}, flsDay, flsDay);
    EXPECT_EQ(log.LogName(), "common_tests");
    log.Log("开始");
    log.LogFmt(1, "%s=%d", "port", 7006);
  }
  // The stem carries no given name (the given name is empty), so the file starts with "[]".
  EXPECT_EQ(ReadFile(Day() / "common_tests.log"),
            std::string("[]\r\n") + kStamp0 + "[" + tid + "] ****** Log Begin ******" +
                "\r\n" + kStamp0 + "[0-" + tid + "] 开始" +
                "\r\n" + kStamp0 + "[1-" + tid + "] port=7006" +
                "\r\n" + kStamp0 + "[" + tid + "] ****** Log End ******");
}

TEST_F(FileLogTest, TagForEachOptionMix) {
  const std::string tid = Tid();
  const struct {
    TFileLogOptions options;
    const char* name;
    std::string entryTag, bannerTag;
  } cases[] = {
      {{}, "plain", "", ""},
      {{floNoIndex}, "noindex", "[7]", ""},
      {{floMultiThread}, "multi", "[" + tid + "]", "[" + tid + "]"},
      {{floMultiThread, floNoIndex}, "both", "[7-" + tid + "]", "[" + tid + "]"},
  };
  for (const auto& c : cases) {
    {
      TFileLog log(c.name, root_, "", c.options, flsDay, flsDay);
      log.Log(7, "x");
      log.Log(239, "y");
    }
    const std::string text = ReadFile(Day() / (std::string(c.name) + ".log"));
    const std::string level239 = c.options.Has(floNoIndex)
                                     ? (c.options.Has(floMultiThread) ? "[239-" + tid + "]" : "[239]")
                                     : c.entryTag;
    EXPECT_EQ(text, std::string("\r\n") + kStamp0 + c.bannerTag + " ****** Log Begin ******\r\n" +
                        kStamp0 + c.entryTag + " x\r\n" + kStamp0 + level239 + " y\r\n" + kStamp0 +
                        c.bannerTag + " ****** Log End ******")
        << c.name;
    EXPECT_EQ(fs::exists(Day() / (std::string(c.name) + ".logidx")), !c.options.Has(floNoIndex)) << c.name;
  }
}

TEST_F(FileLogTest, IndexRecordsPointAtEachEntry) {
  {
    TFileLog log("Idx", root_, "", {}, flsDay, flsHour);
    log.Log(5, "abc");
  }
  const std::string text = ReadFile(Day() / "Idx.10.log");
  const std::string index = ReadFile(Day() / "Idx.10.logidx");
  ASSERT_THAT(text, StartsWith("[Idx]\r\n"));
  ASSERT_THAT(index, StartsWith("[Idx]"));
  const std::string records = index.substr(5);
  ASSERT_EQ(records.size(), 3u * 12);
  const int levels[] = {254, 5, 255};
  size_t expectedOffset = 5;
  for (int i = 0; i < 3; ++i) {
    const auto* r = reinterpret_cast<const unsigned char*>(records.data() + 12 * i);
    const uint32_t offset = r[0] | r[1] << 8 | r[2] << 16 | uint32_t(r[3]) << 24;
    const uint32_t length = r[4] | r[5] << 8 | r[6] << 16 | uint32_t(r[7]) << 24;
    EXPECT_EQ(offset, expectedOffset) << i;
    EXPECT_EQ(r[8], levels[i]) << i;
    EXPECT_EQ(r[9] | r[10] | r[11], 0) << i;
    ASSERT_LE(offset + length, text.size());
    EXPECT_EQ(text.substr(offset, 2), "\r\n") << i;
    expectedOffset = offset + length;
  }
  EXPECT_EQ(expectedOffset, text.size());
  EXPECT_THAT(text, EndsWith("] ****** Log End ******"));
}

TEST_F(FileLogTest, RepeatsFoldIntoSummaryStampedWithLastRepeat) {
  {
    TFileLog log("Fold", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log(3, "same");
    gNowMs = kT0 + 1005;
    log.Log(3, "same");
    gNowMs = kT0 + 1005 + 61000;
    log.Log(3, "same");
    gNowMs = kT0 + 70000;
    log.Log(0, "other");
  }
  EXPECT_EQ(ReadFile(Day() / "Fold.log"),
            std::string("\r\n") + kStamp0 + " ****** Log Begin ******" +
                "\r\n" + kStamp0 + "[3] same" +
                "\r\n[2024-01-15 10:21:32.128][3] 重复调用2次, 最大间隔1分钟1.000秒, 最小间隔1.005秒" +
                "\r\n[2024-01-15 10:21:40.123][0] other" +
                "\r\n[2024-01-15 10:21:40.123] ****** Log End ******");
}

TEST_F(FileLogTest, PendingSummaryIsWrittenBeforeEndBanner) {
  {
    TFileLog log("Pending", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log(0, "x");
    gNowMs = kT0 + 7;
    log.Log(0, "x");
    gNowMs = kT0 + 50;
  }
  EXPECT_THAT(ReadFile(Day() / "Pending.log"),
              EndsWith(std::string("\r\n") + kStamp0 + "[0] x" +
                                "\r\n[2024-01-15 10:20:30.130][0] 重复调用1次, 最大间隔7毫秒, 最小间隔7毫秒" +
                                "\r\n[2024-01-15 10:20:30.173] ****** Log End ******"));
}

TEST_F(FileLogTest, SameTextFromAnotherThreadIsNotFolded) {
  {
    TFileLog log("Threads", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log(0, "x");
    std::thread([&] { log.Log(0, "x"); }).join();
    log.Log(0, "x");
  }
  const std::string text = ReadFile(Day() / "Threads.log");
  EXPECT_EQ(text, std::string("\r\n") + kStamp0 + " ****** Log Begin ******" + "\r\n" + kStamp0 + "[0] x" +
                      "\r\n" + kStamp0 + "[0] x" + "\r\n" + kStamp0 + "[0] x" + "\r\n" + kStamp0 +
                      " ****** Log End ******");
}

TEST_F(FileLogTest, DuplicateMasks) {
  {
    TFileLog log("Mask", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log(0, "retry 1", "^retry \\d+$");
    log.Log(0, "line\nretry 2", "^retry \\d+$");  // "^" matches after a line break
    log.Log(0, "Retry 3", "^retry \\d+$");        // case-sensitive: not folded
    log.Log(0, "a(", "(");                        // a mask that does not compile folds nothing
    log.Log(0, "a(", "(");
  }
  const std::string text = ReadFile(Day() / "Mask.log");
  EXPECT_THAT(text, HasSubstr("[0] 重复调用1次"));
  EXPECT_THAT(text, HasSubstr("[0] Retry 3"));
  size_t count = 0;
  for (size_t pos = text.find("] a("); pos != std::string::npos; pos = text.find("] a(", pos + 1)) ++count;
  EXPECT_EQ(count, 2u);
}

TEST_F(FileLogTest, ExceptionsAreLoggedWithTheirClass) {
  {
    TFileLog log("Errors", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log("标题", Exception("plain"));
    log.Log("标题", EOSError("os"));
    log.Log(std::runtime_error("std"));
  }
  const std::string text = ReadFile(Day() / "Errors.log");
  EXPECT_THAT(text, HasSubstr("[2] 标题plain\r\n"));
  EXPECT_THAT(text, HasSubstr("[2] 标题[EOSError]os\r\n"));
  EXPECT_THAT(text, HasSubstr("[2] [std::runtime_error]std\r\n"));
}

TEST_F(FileLogTest, CleanedNameGetsHashAndHeader) {
  {
    TFileLog log("a:b", root_, "", {floNoIndex}, flsDay, flsDay);
    EXPECT_EQ(log.LogName(), "ab.18322");
    log.Log(0, "x");
  }
  EXPECT_THAT(ReadFile(Day() / "ab.18322.log"), StartsWith("[a:b]\r\n"));
}

TEST_F(FileLogTest, FileSplitIsRaisedToFolderSplit) {
  {
    TFileLog log("Monthly", root_, "", {floNoIndex}, flsMonth, flsNone);
    log.Log(0, "x");
  }
  // One file per month, named after the stem alone, so no bracketed header.
  EXPECT_THAT(ReadFile(fs::path(root_) / "2024-01" / "Monthly.log"), StartsWith("\r\n[2024-01-15"));
}

TEST_F(FileLogTest, PathsAreCleanedPerComponentAndGroupGoesBelowTheDate) {
  // Joined as text: to the system a leading "R:" would name a drive.
  const std::string root = dir_.string() + "/R:o*ot";  // no trailing separator given
  TFileLog log("G", root, "sub?/in|ner", {floNoIndex}, flsDay, flsHour);
  const fs::path folder = dir_ / "Root" / "2024-01-15" / "sub" / "inner";
  EXPECT_EQ(log.GetLogPath(), dir_.string() + "/Root/2024-01-15/sub/inner/");
  log.Log(0, "x");
  EXPECT_THAT(ReadFile(folder / "G.10.log"), StartsWith("[G]\r\n"));
}

TEST_F(FileLogTest, NewPeriodOpensNewFile) {
  {
    TFileLog log("Hourly", root_, "", {floNoIndex}, flsDay, flsHour);
    log.Log(0, "ten");
    gNowMs = LocalMs(2024, 1, 16, 0, 0, 0, 5);
    log.Log(0, "midnight");
  }
  const std::string ten = ReadFile(Day() / "Hourly.10.log");
  const std::string next = ReadFile(fs::path(root_) / "2024-01-16" / "Hourly.00.log");
  EXPECT_THAT(ten, HasSubstr(" ten"));
  EXPECT_THAT(ten, Not(HasSubstr("midnight")));
  EXPECT_EQ(next, "[Hourly]\r\n[2024-01-16 00:00:00.005][0] midnight\r\n[2024-01-16 00:00:00.005] ****** Log End ******");
}

TEST_F(FileLogTest, UnnecessaryLogNeverWrittenCreatesNothing) {
  { TFileLog log("Quiet", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay); }
  EXPECT_FALSE(fs::exists(root_));

  {
    TFileLog log("Later", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay);
    gNowMs = kT0 + 500;
    log.Log(0, "x");
  }
  // The banner, written before the first entry, keeps the construction time.
  EXPECT_THAT(ReadFile(Day() / "Later.log"),
              StartsWith(std::string("\r\n") + kStamp0 + " ****** Log Begin ******\r\n[2024-01-15 10:20:30.623][0] x"));
}

TEST_F(FileLogTest, UnwritableEntryGoesToEmergencyFileAndCallerGoesOn) {
  fs::create_directories(Day() / "Blocked.log");  // the log file's name is taken by a folder
  {
    TFileLog log("Blocked", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay);
    gNowMs = kT0 + 1;
    log.Log(0, "要保存的条目");
    gNowMs = kT0 + 2;
  }
  const fs::path ex = Day() / "Exception";
  const std::string entry = ReadFile(ex / "[2024-01-15 10.20.30.124] - Blocked.log");
  const std::string expectedTail =
      platform::Utf8ToAnsi("\r\n++++++++++++++++++++++++++++++\r\n[2024-01-15 10:20:30.124][0] 要保存的条目");
  EXPECT_THAT(entry, StartsWith(platform::Utf8ToAnsi("打开文件失败[") + root_ + "2024-01-15/Blocked.log]: "));
  EXPECT_THAT(entry, EndsWith(expectedTail));
  // The begin and end banners failed the same way, each into a file of its own time.
  EXPECT_THAT(ReadFile(ex / "[2024-01-15 10.20.30.123] - Blocked.log"), EndsWith("****** Log Begin ******"));
  EXPECT_THAT(ReadFile(ex / "[2024-01-15 10.20.30.125] - Blocked.log"), EndsWith("****** Log End ******"));
}

TEST_F(FileLogTest, FailuresInTheSameMillisecondShareTheEmergencyFile) {
  fs::create_directories(Day() / "Twice.log");
  {
    TFileLog log("Twice", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay);
    log.Log(0, "first");
    log.Log(0, "second");
  }
  const std::string text = ReadFile(Day() / "Exception" / "[2024-01-15 10.20.30.123] - Twice.log");
  EXPECT_THAT(text, HasSubstr("[0] first\r\n"));
  EXPECT_THAT(text, HasSubstr("[0] second\r\n"));
  EXPECT_THAT(text, HasSubstr("Log Begin ******\r\n"));
}

TEST_F(FileLogTest, EntryIsLostSilentlyWhenNoFolderCanBeMade) {
  fs::create_directories(root_);
  std::ofstream(Day()) << "a file where the day folder belongs";
  {
    TFileLog log("Lost", root_, "", {floNoIndex}, flsDay, flsDay);
    log.Log(0, "x");
    gNowMs = LocalMs(2024, 1, 16, 9, 0, 0, 0);
    log.Log(0, "next day");  // the log keeps working once the folder can be made
  }
  EXPECT_EQ(ReadFile(Day()), "a file where the day folder belongs");
  EXPECT_THAT(ReadFile(fs::path(root_) / "2024-01-16" / "Lost.log"), HasSubstr("[0] next day"));
}

TEST_F(FileLogTest, RetentionRemovesDatedFoldersOfFifteenDaysAndMore) {
  const fs::path root(root_);
  // Today is 2024-01-15: 2023-12-31 is 15 days old, 2024-01-01 is 14 days old.
  for (const char* name : {"2023-12-31", "2023-11-02", "2024-01-01", "2024-01-14", "notes", "2024-13-01",
                           "2023-12-31.10"})
    fs::create_directories(root / name / "inner");
  std::ofstream(root / "2023-11-02" / "inner" / "old.log") << "old";
  std::ofstream(root / "2023-01-01") << "a file, not a folder";
  { TFileLog log("Keep", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay); }
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(root)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"2024-01-01", "2024-01-14", "notes", "2024-13-01", "2023-12-31.10",
                                         "2023-01-01"}));

  // Once per root and process: a later log does not look again.
  fs::create_directories(root / "2023-06-01");
  { TFileLog log("Again", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay); }
  EXPECT_TRUE(fs::exists(root / "2023-06-01"));
}

TEST_F(FileLogTest, SecondDefaultNamedLogFails) {
  auto expectRefused = [&] {
    try {
      TFileLog second("", root_, "", {floUnnecessary}, flsDay, flsDay);
      ADD_FAILURE() << "a second default-named log was created";
    } catch (const EFileLogError& e) {
      EXPECT_STREQ(e.what(), "默认名称日志已存在");
    }
  };
  {
    TFileLog first("", root_, "", {floUnnecessary}, flsDay, flsDay);
    expectRefused();
  }
  expectRefused();  // also after the first is gone
}

TEST_F(FileLogTest, MultiThreadEntriesStayWhole) {
  if (platform::RunningUnderWine())
    GTEST_SKIP() << "under Wine, appends from several threads at once overwrite each other (entries are lost); "
                    "Windows serialises appends";
  SetLogClock(nullptr);  // real time: stamps from several threads
  constexpr int kThreads = 4, kEntries = 500;
  const std::string payload(200, 'p');
  {
    TFileLog log("Multi", root_, "", {floMultiThread, floNoIndex}, flsNone, flsNone);
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        for (int i = 0; i < kEntries; ++i) log.Log(0, "T" + std::to_string(t) + "#" + std::to_string(i) + payload);
      });
  }
  const std::string text = ReadFile(fs::path(root_) / "Multi.log");
  std::set<std::string> seen;
  size_t lines = 0;
  for (size_t pos = 2, next; pos <= text.size(); pos = next + 2) {
    next = text.find("\r\n", pos);
    if (next == std::string::npos) next = text.size();
    const std::string line = text.substr(pos, next - pos);
    ++lines;
    // "[YYYY-MM-DD HH:NN:SS.ZZZ][0-tid] T<t>#<i><payload>" or a banner
    ASSERT_GE(line.size(), 27u) << line;
    ASSERT_EQ(line[0], '[');
    ASSERT_EQ(line[24], ']');
    const size_t text_start = line.find("] ", 25);
    ASSERT_NE(text_start, std::string::npos) << line;
    const std::string body = line.substr(text_start + 2);
    if (body.starts_with("******")) continue;
    ASSERT_TRUE(body.ends_with(payload)) << line;
    ASSERT_TRUE(line.substr(25, 3) == "[0-") << line;
    EXPECT_TRUE(seen.insert(body.substr(0, body.size() - payload.size())).second) << line;
  }
  EXPECT_EQ(seen.size(), size_t{kThreads} * kEntries);
  EXPECT_EQ(lines, size_t{kThreads} * kEntries + 2);
}

TEST_F(FileLogTest, CrossProcessLockRefusesASecondWriter) {
  TFileLog first("Locked", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay);
  first.WaitMutex(true);
  first.Log(0, "owner");
  TFileLog second("Locked", root_, "", {floNoIndex, floUnnecessary}, flsDay, flsDay);
  second.WaitMutex(true);
  second.WaitTimeout(10);
  gNowMs = kT0 + 1;
  second.Log(0, "intruder");
  EXPECT_THAT(ReadFile(Day() / "Exception" / "[2024-01-15 10.20.30.124] - Locked.log"),
              StartsWith(platform::Utf8ToAnsi("文件被占用\r\n")));
  EXPECT_THAT(ReadFile(Day() / "Locked.log"), Not(HasSubstr("intruder")));
}

// A static object that logs in its destructor, as a module torn down late may do.
struct LateLogger {
  bool armed = false;
  ~LateLogger() {
    if (armed) AppLog().Log("late entry");
  }
};
LateLogger gLateLogger;

TEST_F(FileLogTest, AppLogEndsAtProcessEndAndDropsLaterEntries) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string root = root_;
  EXPECT_EXIT(
      {
        SetLogClock(&FakeNow);
        InitFileLog(root);
        gLateLogger.armed = true;
        AppLog().Log("from the child");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string text = ReadFile(Day() / "common_tests.log");
  EXPECT_THAT(text, StartsWith("[]\r\n"));
  EXPECT_THAT(text, HasSubstr("] from the child\r\n"));
  EXPECT_THAT(text, EndsWith("] ****** Log End ******"));
  EXPECT_THAT(text, Not(HasSubstr("late entry")));
}

}  // namespace
}  // namespace zent
