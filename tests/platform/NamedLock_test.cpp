#include "platform/NamedLock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace zent::platform {
namespace {

using testing::Child;
using testing::ReadySignal;
using testing::ScopedEnv;
using testing::TempDir;

// On a machine with the package installed, machine-wide names live in the package's folder.
const std::string kGlobalFolder = [] {
  struct stat st{};
  const bool packaged = ::lstat("/run/lumo7browser/locks", &st) == 0 && S_ISDIR(st.st_mode) &&
                        st.st_uid == 0 && (st.st_mode & S_IWOTH) == 0;
  return std::string(packaged ? "/run/lumo7browser/locks" : "/tmp/zent-global");
}();

// Every test gets its own session folder.
class NamedLockTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().c_str()};

  std::string Unique(const std::string& base) const {
    return base + "-" + std::to_string(::getpid());
  }
};

TEST_F(NamedLockTest, NamesMapToDistinctFilesInTheirFolders) {
  const std::string session = dir_.path() + "/zent-locks/";
  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"Lumo7Browser", session + "Lumo7Browser.lock"},
      {"a/b", session + "a%2Fb.lock"},
      {"a%2Fb", session + "a%252Fb.lock"},
      {"../x", session + "%2E.%2Fx.lock"},
      {"", session + ".lock"},
      {"\xE5\xB9\xBF", session + "%E5%B9%BF.lock"},
      {"Local\\x", session + "x.lock"},
      {"Global\\x", kGlobalFolder + "/x.lock"},
      {"global\\x", session + "global%5Cx.lock"},
  };
  for (const auto& c : cases) EXPECT_EQ(NamedLock::PathFor(c.name), c.path) << c.name;

  std::set<std::string> seen;
  for (const char* name : {"a b", "a%20b", "a_b", "a.b", "A b", "a\\b", "Global\\a b"}) {
    EXPECT_TRUE(seen.insert(NamedLock::PathFor(name)).second) << name;
  }
}

TEST_F(NamedLockTest, SessionFolderWithoutRuntimeDirIsPerUser) {
  ScopedEnv none("XDG_RUNTIME_DIR", nullptr);
  EXPECT_EQ(NamedLock::PathFor("x"), "/tmp/zent-" + std::to_string(::getuid()) + "/x.lock");
}

TEST_F(NamedLockTest, ExistsWhileHeldInThisProcess) {
  const std::string name = "role";
  EXPECT_FALSE(NamedLock::Exists(name));
  EXPECT_FALSE(std::filesystem::exists(NamedLock::PathFor(name)));  // a probe creates nothing
  {
    NamedLock first(name), second(name);
    ASSERT_FALSE(first.Hold());
    ASSERT_FALSE(second.Hold());  // holders share
    EXPECT_TRUE(NamedLock::Exists(name));
  }
  EXPECT_FALSE(NamedLock::Exists(name));
}

TEST_F(NamedLockTest, ExclusiveLocksExcludeEachOtherInOneProcess) {
  NamedLock a("mutex"), b("mutex");
  ASSERT_FALSE(a.Lock(0));
  EXPECT_EQ(a.Lock(0), std::error_code());  // already ours
  EXPECT_EQ(b.Lock(0), std::errc::timed_out);
  EXPECT_EQ(b.Lock(20), std::errc::timed_out);
  EXPECT_TRUE(NamedLock::Exists("mutex"));
  a.Unlock();
  EXPECT_FALSE(NamedLock::Exists("mutex"));
  EXPECT_FALSE(b.Lock(0));
}

TEST_F(NamedLockTest, OneObjectServesOneUse) {
  NamedLock held("x"), locked("y");
  ASSERT_FALSE(held.Hold());
  EXPECT_EQ(held.Lock(0), std::errc::invalid_argument);
  EXPECT_TRUE(NamedLock::Exists("x"));  // the failed lock did not drop the hold
  ASSERT_FALSE(locked.Lock(0));
  EXPECT_EQ(locked.Hold(), std::errc::invalid_argument);
}

TEST_F(NamedLockTest, AnotherProcessHoldsUntilItDies) {
  ReadySignal ready(dir_ / "ready");
  Child child("hold", {"role", ready.path()});
  ASSERT_TRUE(ready.Wait());
  EXPECT_TRUE(NamedLock::Exists("role"));
  NamedLock mutex("role");
  EXPECT_EQ(mutex.Lock(20), std::errc::timed_out);  // a shared holder blocks exclusive use

  child.Kill();
  EXPECT_FALSE(NamedLock::Exists("role"));
  EXPECT_FALSE(mutex.Lock(0));
}

TEST_F(NamedLockTest, TimedLockExpiresWhileAnotherProcessLocks) {
  ReadySignal ready(dir_ / "ready");
  Child child("lock", {"mutex", ready.path()});
  ASSERT_TRUE(ready.Wait());
  NamedLock mine("mutex");
  EXPECT_EQ(mine.Lock(0), std::errc::timed_out);
  EXPECT_EQ(mine.Lock(50), std::errc::timed_out);
  child.Kill();
  EXPECT_FALSE(mine.Lock(kInfinite));
}

TEST_F(NamedLockTest, PlantedSessionFolderIsRefused) {
  std::ofstream(dir_ / "zent-locks") << "not a folder";
  NamedLock lock("x");
  EXPECT_EQ(lock.Hold(), std::errc::not_a_directory);
  EXPECT_FALSE(NamedLock::Exists("x"));
}

TEST_F(NamedLockTest, GlobalLockFilesAreOpenToEveryUser) {
  if (kGlobalFolder != "/tmp/zent-global") GTEST_SKIP() << "the package's folder is installed";
  const mode_t old = ::umask(077);
  const std::string name = "Global\\" + Unique("zent-test");
  {
    NamedLock lock(name);
    ASSERT_FALSE(lock.Hold());
    EXPECT_TRUE(NamedLock::Exists(name));
  }
  ::umask(old);
  struct stat folder{}, file{};
  ASSERT_EQ(::stat("/tmp/zent-global", &folder), 0);
  EXPECT_EQ(folder.st_mode & 07777, 01777u);
  const std::string path = NamedLock::PathFor(name);
  ASSERT_EQ(::stat(path.c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0666u);
  EXPECT_FALSE(NamedLock::Exists(name));
  ::unlink(path.c_str());
}

}  // namespace
}  // namespace zent::platform
