#include "platform/PartialFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "platform/FsPath.h"

namespace zent::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// The names in a folder; without `hidden`, a partial file's hidden name does not count (where
// the system offers unnamed files there is none).
std::vector<std::string> Names(const std::string& folder, bool hidden = true) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(FsPath(folder))) {
    const std::string name = Utf8Of(e.path().filename());
    if (hidden || !IsPartialFileName(name)) out.push_back(name);
  }
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
  EXPECT_EQ(Names(dir.path(), false), std::vector<std::string>{"package.exe"});
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
    EXPECT_TRUE(Names(dir.path(), false).empty());
  }
  EXPECT_TRUE(Names(dir.path()).empty());
  PartialFile file;
  EXPECT_TRUE(file.Create(dir / "missing"));
  EXPECT_FALSE(IsPartialFileName("DO2_U_.partial-"));
  EXPECT_TRUE(IsPartialFileName(".partial-abc"));
}

}  // namespace
}  // namespace zent::platform
