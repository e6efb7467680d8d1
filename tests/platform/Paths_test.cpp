// Our UTF-8 strings as file-system paths, and the current folder: a non-ASCII name reaches the
// disk as exactly its UTF-8 bytes (whatever the process's locale) and comes back unchanged.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

// The names a folder holds, as the system lists them (raw bytes).
std::vector<std::string> RawNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
  return names;
}

TEST(FsPath, NonAsciiNamesReachTheDiskAsTheirUtf8BytesAndComeBack) {
  testing::TempDir dir;
  // A locale whose narrow encoding is not UTF-8 must not change what the name becomes.
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const std::string names[] = {"日志 2024.log", "Lumo7Browser_ÉTÉ.lang", "plain.txt"};
  for (const std::string& name : names) {
    const std::string path = dir / name;
    EXPECT_EQ(Utf8Of(FsPath(path)), path);
    EXPECT_EQ(Utf8Of(FsPath(path).filename()), name);
    std::ofstream(FsPath(path)) << "x";
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_regular_file(FsPath(path), ec)) << name;
  }
  std::setlocale(LC_ALL, previous.c_str());
  auto raw = RawNames(dir.path());
  std::sort(raw.begin(), raw.end());
  std::vector<std::string> expected(std::begin(names), std::end(names));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(raw, expected);
}

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
