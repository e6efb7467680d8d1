// The fixture of the log file tests: a fresh folder per case and a clock the case moves.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/FileLog.h"
#include "platform/Process.h"

namespace zent {

inline std::atomic<int64_t> gNowMs{0};
inline LogTime FakeNow() { return LogTime(std::chrono::milliseconds(gNowMs.load())); }

// Milliseconds since the epoch of a local calendar time.
inline int64_t LocalMs(int y, int mo, int d, int h, int mi, int s, int ms) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm)) * 1000 + ms;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::string Tid() { return std::to_string(platform::CurrentThreadId()); }

inline const int64_t kT0 = LocalMs(2024, 1, 15, 10, 20, 30, 123);
inline constexpr char kStamp0[] = "[2024-01-15 10:20:30.123]";

class FileLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(ZENT_TEST_TMP_DIR) / "FileLog" / (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    root_ = (dir_ / "Logs").string() + "/";
    gNowMs = kT0;
    SetLogClock(&FakeNow);
    InitFileLog(root_);
  }
  void TearDown() override { SetLogClock(nullptr); }

  // The day folder of kT0.
  std::filesystem::path Day() const { return std::filesystem::path(root_) / "2024-01-15"; }

  std::filesystem::path dir_;
  std::string root_;
};

}  // namespace zent
