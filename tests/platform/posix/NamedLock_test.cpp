// Where the POSIX named locks keep their lock files, and who may open them.
#include "platform/NamedLock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "../TestSupport.h"

namespace zent::platform {
namespace {

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
class NamedLockFilesTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().c_str()};

  std::string Unique(const std::string& base) const {
    return base + "-" + std::to_string(::getpid());
  }
};

TEST_F(NamedLockFilesTest, NamesMapToDistinctFilesInTheirFolders) {
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

TEST_F(NamedLockFilesTest, SessionFolderWithoutRuntimeDirIsPerUser) {
  ScopedEnv none("XDG_RUNTIME_DIR", nullptr);
  EXPECT_EQ(NamedLock::PathFor("x"), "/tmp/zent-" + std::to_string(::getuid()) + "/x.lock");
}

TEST_F(NamedLockFilesTest, PlantedSessionFolderIsRefused) {
  std::ofstream(dir_ / "zent-locks") << "not a folder";
  NamedLock lock("x");
  EXPECT_EQ(lock.Hold(), std::errc::not_a_directory);
  EXPECT_FALSE(NamedLock::Exists("x"));
}

TEST_F(NamedLockFilesTest, GlobalLockFilesAreOpenToEveryUser) {
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
