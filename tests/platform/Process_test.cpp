#include "platform/Process.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

using testing::Child;
using testing::TempDir;

std::string ReadAll(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SpawnOptions InFolder(const std::string& folder) {
  SpawnOptions o;
  o.workingDirectory = folder;
  return o;
}

bool Listed(uint32_t pid, const std::string& exe) {
  const auto list = ListProcesses();
  return std::any_of(list.begin(), list.end(),
                     [&](const ProcessEntry& e) { return e.pid == pid && e.exePath == exe; });
}

TEST(Process, ExitCodesReachTheParent) {
  for (int code : {0, 1, 7, 255}) {
    Child child("exit", {std::to_string(code)});
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.Wait(), code);
  }
}

TEST(Process, ArgumentsArriveVerbatimWithoutAShell) {
  TempDir dir;
  const std::string out = dir / "args.txt";
  const std::vector<std::string> args = {"plain", "two words", "\"quoted\"", "$(touch pwned)",
                                         "a;b|c&", "", "\xE5\xB9\xBF\xE6\x92\xAD"};
  std::vector<std::string> childArgs = {out};
  childArgs.insert(childArgs.end(), args.begin(), args.end());
  Child child("args", childArgs, InFolder(dir.path()));
  ASSERT_EQ(child.Wait(), 0);
  std::string expected;
  for (const auto& a : args) expected += a + "\n";
  EXPECT_EQ(ReadAll(out), expected);
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST(Process, RunningChildIsListedWaitedForAndTerminated) {
  Child child("sleep", {});
  ASSERT_TRUE(child.started());
  const std::string exe = ExecutablePath();
  EXPECT_EQ(ProcessExePath(child.pid()), exe);
  EXPECT_TRUE(Listed(child.pid(), exe));

  // A time-out leaves the child running and waitable.
  EXPECT_EQ(child.Wait(30), std::nullopt);
  EXPECT_EQ(child.Wait(0), std::nullopt);
  EXPECT_TRUE(Listed(child.pid(), exe));

  const uint32_t pid = child.pid();
  EXPECT_TRUE(TerminateProcess(pid));
  EXPECT_EQ(child.Wait(), kTerminatedExitCode);
  // Reaped: nothing is left to wait for.
  EXPECT_EQ(WaitProcess(pid, 0), std::nullopt);
}

TEST(Process, WorkingDirectory) {
  TempDir dir;
  Child cwd("cwd", {dir / "cwd.txt"}, InFolder(dir.path()));
  ASSERT_EQ(cwd.Wait(), 0);
  EXPECT_EQ(ReadAll(dir / "cwd.txt"), Utf8Of(std::filesystem::canonical(FsPath(dir.path()))));
}

TEST(Process, StartFailuresAreReported) {
  TempDir dir;
  uint32_t pid = 0;
  EXPECT_EQ(SpawnProcess(dir / "missing", {}, {}, pid), std::errc::no_such_file_or_directory);
  EXPECT_EQ(SpawnProcess("zent-no-such-program-anywhere", {}, {}, pid),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(SpawnProcess(ExecutablePath(), {}, InFolder(dir / "missing"), pid),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(SpawnProcess(dir.path(), {}, {}, pid), std::errc::permission_denied);
  EXPECT_TRUE(SpawnProcess("", {}, {}, pid));
  EXPECT_EQ(pid, 0u);
}

TEST(Process, IdsThatNameNoSingleProcessAreRefused) {
  // 0 and ids that turn negative would address process groups or every process.
  for (uint32_t pid : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ProcessExePath(pid), std::nullopt);
    EXPECT_EQ(WaitProcess(pid, 0), std::nullopt);
  }
  EXPECT_FALSE(TerminateProcess(0x80000000u));
  EXPECT_FALSE(TerminateProcess(0x7FFFFFFFu));  // beyond any pid_max
}

}  // namespace
}  // namespace zent::platform
