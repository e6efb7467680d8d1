// What only POSIX processes have: kernel thread ids, sessions, descriptors and the kernel's
// mark on a deleted executable.
#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

using testing::Child;
using testing::TempDir;

bool Listed(uint32_t pid, const std::string& exe) {
  const auto list = ListProcesses();
  return std::any_of(list.begin(), list.end(),
                     [&](const ProcessEntry& e) { return e.pid == pid && e.exePath == exe; });
}

TEST(Process, IdsAreTheKernelsIds) {
  EXPECT_EQ(CurrentProcessId(), static_cast<uint32_t>(::getpid()));
  EXPECT_EQ(CurrentThreadId(), static_cast<uint32_t>(::syscall(SYS_gettid)));
  uint32_t other = 0;
  std::jthread([&] { other = CurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, CurrentThreadId());
}

TEST(Process, DeletedExecutableKeepsTheKernelsSuffix) {
  TempDir dir;
  const std::string copy = dir / "copy of tests";
  std::filesystem::copy_file(ExecutablePath(), copy);
  uint32_t pid = 0;
  {
    testing::ScopedEnv env("ZENT_TEST_CHILD", "sleep");
    ASSERT_FALSE(SpawnProcess(copy, {}, {}, pid));
  }
  std::filesystem::remove(copy);
  EXPECT_EQ(ProcessExePath(pid), copy + " (deleted)");
  EXPECT_TRUE(Listed(pid, copy + " (deleted)"));
  EXPECT_TRUE(TerminateProcess(pid));
  EXPECT_EQ(WaitProcess(pid, Child::kGuardMs), kTerminatedExitCode);
}

TEST(Process, DetachedChildLeadsItsOwnSession) {
  Child same("session", {});
  EXPECT_EQ(same.Wait(), 1);
  SpawnOptions detached;
  detached.newSession = true;
  Child own("session", {}, detached);
  EXPECT_EQ(own.Wait(), 0);
}

TEST(Process, ChildInheritsNoExtraDescriptors) {
  // Deliberately opened without O_CLOEXEC, as a careless library would.
  const int fd = ::open("/proc/self/exe", O_RDONLY);
  ASSERT_GE(fd, 3);
  Child child("fdclosed", {std::to_string(fd)});
  EXPECT_EQ(child.Wait(), 0);
  ::close(fd);
}

}  // namespace
}  // namespace zent::platform
