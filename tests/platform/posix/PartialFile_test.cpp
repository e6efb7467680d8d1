// A hidden partial file's writer holds an flock on it; a clean-up removes only those whose
// lock it can take.
#include "platform/PartialFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../TestSupport.h"

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
}

}  // namespace
}  // namespace zent::platform
