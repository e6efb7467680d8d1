// What a path's status means on Windows: our own files are ours, the read-only attribute takes
// the write bits away, and a link (a reparse point) is reported as itself.
#include "platform/FileStatus.h"

#include <windows.h>

#include <fstream>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

TEST(FileStatus, OurFilesAreOursAndReadOnlyDropsTheWriteBits) {
  testing::TempDir dir;
  const std::string path = dir / "key.pem";
  std::ofstream(FsPath(path)) << "k";
  PathStatus status;
  ASSERT_FALSE(GetPathStatus(path, status));
  // An elevated process's files belong to the administrators, which count as 0 like it.
  EXPECT_EQ(status.owner, EffectiveUserId());
  EXPECT_EQ(status.mode, 0644u);
  ASSERT_TRUE(::SetFileAttributesW(win32::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_FALSE(GetPathStatus(path, status));
  EXPECT_EQ(status.mode, 0444u);
  ::SetFileAttributesW(win32::Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_FALSE(GetPathStatus(dir.path(), status));
  EXPECT_EQ(status.mode, 0755u);
  EXPECT_EQ(status.mode & (kGroupWrite | kOthersWrite), 0u);
}

}  // namespace
}  // namespace zent::platform
