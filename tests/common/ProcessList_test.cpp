// The process list and KillProcess against a real child: this test program started again,
// told by an environment variable to do nothing but wait until it is ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "common/Utils.h"
#include "platform/Process.h"
#include "support/ScopedEnvironment.h"

namespace zent {
namespace {

constexpr const char* kChildVariable = "ZENT_UTILS_TEST_CHILD";

// In the child, this runs before any test: it waits to be killed, and leaves by itself after
// a minute so that a failed parent never leaves it behind.
const bool kIsChild = [] {
  if (!std::getenv(kChildVariable)) return false;
  std::this_thread::sleep_for(std::chrono::seconds(60));
  std::_Exit(0);
}();

TEST(ProcessList, ListsAChildAndKillProcessEndsIt) {
  uint32_t pid = 0;
  const std::string self = GetAppFileName();
  std::error_code ec;
  {
    testing::ScopedEnvironmentValue child(kChildVariable, "1");
    ec = platform::SpawnProcess(self, {}, {}, pid);
  }
  ASSERT_FALSE(ec) << ec.message();

  const std::string entry = "ModuleName='" + self + "';ProcessID=" + std::to_string(pid);
  std::vector<std::string> list;
  GetProcessInfo(list);
  EXPECT_NE(std::find(list.begin(), list.end(), entry), list.end()) << entry;

  std::vector<std::string> one{"kept"};
  GetProcessPath(pid, &one);
  EXPECT_EQ(one, (std::vector<std::string>{"kept", entry}));
  GetProcessPath(pid, nullptr);  // no list: nothing to do

  KillProcess(pid);
  // The child ends by the kill, not by its own minute running out; once reaped it is no
  // longer listed.
  EXPECT_EQ(platform::WaitProcess(pid, 0xFFFFFFFFu), platform::kTerminatedExitCode);
  std::vector<std::string> after;
  GetProcessPath(pid, &after);
  EXPECT_TRUE(after.empty());
}

TEST(ProcessList, OwnEntryDoublesQuotesAndGoneProcessesAreSkipped) {
  std::vector<std::string> list;
  GetProcessPath(platform::CurrentProcessId(), &list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], "ModuleName='" + GetAppFileName() +
                         "';ProcessID=" + std::to_string(platform::CurrentProcessId()));
  list.clear();
  GetProcessPath(0x7FFFFFF0u, &list);  // no such process
  EXPECT_TRUE(list.empty());
  KillProcess(0x7FFFFFF0u);  // not reported
}

}  // namespace
}  // namespace zent
