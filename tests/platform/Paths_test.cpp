// Our UTF-8 strings as file-system paths, and the current folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

// Names kept inside packages are "/"-separated UTF-8, also for a relative name below a folder.
TEST(FsPath, GenericFormOfARelativeNameIsSlashSeparatedUtf8) {
  const std::filesystem::path root = FsPath("/opt/程序");
  EXPECT_EQ(GenericUtf8Of(FsPath("/opt/程序/语言/中文.lang").lexically_relative(root)), "语言/中文.lang");
  EXPECT_EQ(GenericUtf8Of(FsPath("/opt/程序/bin").lexically_relative(root)), "bin");
  EXPECT_EQ(GenericUtf8Of(FsPath("/opt/程序") / "Temp" / "ExeBuf/"), "/opt/程序/Temp/ExeBuf/");
}

TEST(CurrentFolder, RelativePathsResolveAgainstItAndAMissingFolderIsAnError) {
  testing::TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  ASSERT_FALSE(SetCurrentFolder(dir.path()));
  std::ofstream("here.txt") << "x";
  EXPECT_TRUE(std::filesystem::exists(FsPath(dir / "here.txt")));
  EXPECT_TRUE(SetCurrentFolder(dir / "missing") == std::errc::no_such_file_or_directory);
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace zent::platform

// Paths split at their last separator: "/" everywhere, and "\" too where it is the system's.
TEST(PathSplit, FolderAndLeafAtTheLastSeparator) {
  struct Case {
    const char* path;
    const char* folder;
    const char* leaf;
  };
  const bool backslash = zent::platform::IsPathSeparator('\\');
  const Case cases[] = {
      {"/opt/x/bin/app", "/opt/x/bin/", "app"},
      {"app", "", "app"},
      {"/", "/", ""},
      {"dir/", "dir/", ""},
      {"a\\b/c", "a\\b/", "c"},
      {"C:\\Lumo7\\bin\\浏览器.exe", backslash ? "C:\\Lumo7\\bin\\" : "", backslash ? "浏览器.exe" : "C:\\Lumo7\\bin\\浏览器.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zent::platform::FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(zent::platform::LeafOf(c.path), c.leaf) << c.path;
  }
  EXPECT_TRUE(zent::platform::IsPathSeparator('/'));
  EXPECT_EQ(backslash, std::filesystem::path::preferred_separator == '\\');
}
