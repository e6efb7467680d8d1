// A partial file's writer keeps it open without sharing deletion; a clean-up removes only
// the hidden files nobody has open.
#include "platform/PartialFile.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/FsPath.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(folder))) out.push_back(Utf8Of(e.path().filename()));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(PartialFile, StaleHiddenFilesGoOpenOnesStay) {
  testing::TempDir dir;
  std::ofstream(FsPath(dir / ".partial-stale1")) << "left by a killed writer";
  std::ofstream(FsPath(dir / "DO2_U_x.exe")) << "a package";
  PartialFile live;
  ASSERT_FALSE(live.Create(dir.path()));
  ASSERT_FALSE(live.Write("abc", 3));
  EXPECT_EQ(RemoveStalePartialFiles(dir.path()), 1);
  EXPECT_EQ(Names(dir.path()).size(), 2u);
  EXPECT_TRUE(IsPartialFileName(Utf8Of(FsPath(live.ReadablePath()).filename())));

  // A writer that opened its file the way the layer does, and then died, leaves it closed.
  {
    win32::UniqueHandle other(::CreateFileW(win32::Wide(dir / ".partial-other").c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
    ASSERT_TRUE(other);
    EXPECT_EQ(RemoveStalePartialFiles(dir.path()), 0);
  }
  EXPECT_EQ(RemoveStalePartialFiles(dir.path()), 1);
  live.Discard();
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"DO2_U_x.exe"});
}

}  // namespace
}  // namespace zent::platform
