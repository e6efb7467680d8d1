// How Windows sees our named locks: a mutex of the name while it is held (what other programs
// look for), lock files in the temporary folder whose names keep capital letters apart.
#include "platform/NamedLock.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

bool MutexExists(const std::string& name) {
  win32::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, win32::Wide(name).c_str()));
  return static_cast<bool>(mutex);
}

class NamedLockWindowsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv temp_{"TMP", dir_.path().c_str()};
  std::string unique_ = "zent-test-" + std::to_string(CurrentProcessId()) + "-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(NamedLockWindowsTest, AHeldNameIsAMutexOtherProgramsCanFind) {
  {
    NamedLock held(unique_);
    ASSERT_FALSE(held.Hold());
    EXPECT_TRUE(MutexExists("Local\\" + unique_));
    NamedLock locked("Global\\" + unique_);
    ASSERT_FALSE(locked.Lock(0));
    EXPECT_TRUE(MutexExists("Global\\" + unique_));
    // A backslash inside a name cannot be part of a mutex name; it stands as a slash.
    NamedLock path("Global\\c:\\logs\\" + unique_ + ".log");
    ASSERT_FALSE(path.Lock(0));
    EXPECT_TRUE(MutexExists("Global\\c:/logs/" + unique_ + ".log"));
    EXPECT_TRUE(NamedLock::Exists("Global\\c:\\logs\\" + unique_ + ".log"));
  }
  EXPECT_FALSE(MutexExists("Local\\" + unique_));
  EXPECT_FALSE(MutexExists("Global\\" + unique_));
}

TEST_F(NamedLockWindowsTest, LockFilesLiveInTheTemporaryFolderAndKeepCaseApart) {
  const std::string folder = Utf8Of(std::filesystem::temp_directory_path() / "zent-locks");
  EXPECT_EQ(NamedLock::PathFor("role"), folder + "\\role.lock");
  EXPECT_EQ(NamedLock::PathFor("Local\\Role"), folder + "\\%52ole.lock");
  EXPECT_EQ(NamedLock::PathFor("a\\b"), folder + "\\a%5Cb.lock");
  EXPECT_EQ(NamedLock::PathFor("../x"), folder + "\\%2E.%2Fx.lock");
  EXPECT_NE(NamedLock::PathFor("Global\\x").find("\\zent\\locks\\x.lock"), std::string::npos);

  NamedLock upper(unique_ + "A"), lower(unique_ + "a");
  ASSERT_FALSE(upper.Lock(0));
  EXPECT_FALSE(lower.Lock(0));  // another name, although the file system ignores case
}

TEST_F(NamedLockWindowsTest, PlantedSessionFolderIsRefused) {
  std::ofstream(FsPath(dir_ / "zent-locks")) << "not a folder";
  NamedLock lock(unique_);
  EXPECT_EQ(lock.Hold(), std::errc::not_a_directory);
  EXPECT_FALSE(NamedLock::Exists(unique_));
}

}  // namespace
}  // namespace zent::platform
