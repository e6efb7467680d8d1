#include "platform/PartialFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace zent::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(PartialFile, NothingCarriesAnyNameUntilCommitThenItReplacesAtomically) {
  TempDir dir;
  std::ofstream(dir / "package.exe") << "old";
  PartialFile file;
  ASSERT_FALSE(file.Create(dir.path()));
  ASSERT_FALSE(file.Write("new ", 4));
  ASSERT_FALSE(file.Write("bytes", 5));
  EXPECT_EQ(file.Size(), 9u);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"package.exe"});
  // The bytes can be checked before they get a name.
  EXPECT_EQ(Read(file.ReadablePath()), "new bytes");
  ASSERT_FALSE(file.Commit(dir / "package.exe"));
  EXPECT_EQ(file.ReadablePath(), "");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"package.exe"});
  EXPECT_EQ(Read(dir / "package.exe"), "new bytes");
  EXPECT_TRUE(file.Write("x", 1));  // closed after the commit
}

TEST(PartialFile, DiscardedOrDestroyedLeavesNothing) {
  TempDir dir;
  {
    PartialFile file;
    ASSERT_FALSE(file.Create(dir.path()));
    ASSERT_FALSE(file.Write("abc", 3));
  }
  EXPECT_TRUE(Names(dir.path()).empty());
  PartialFile file;
  EXPECT_TRUE(file.Create(dir / "missing"));
}

TEST(PartialFile, StaleHiddenFilesGoLockedOnesStay) {
  TempDir dir;
  std::ofstream(dir / ".partial-stale1") << "left by a killed writer";
  std::ofstream(dir / ".partial-live01") << "a writer still running";
  std::ofstream(dir / "DO2_U_x.exe") << "a package";
  const int fd = ::open((dir / ".partial-live01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(RemoveStalePartialFiles(dir.path()), 1);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{".partial-live01", "DO2_U_x.exe"}));
  ::close(fd);
  EXPECT_EQ(RemoveStalePartialFiles(dir.path()), 1);
  EXPECT_TRUE(IsPartialFileName(".partial-abc"));
  EXPECT_FALSE(IsPartialFileName("DO2_U_.partial-"));
}

}  // namespace
}  // namespace zent::platform
