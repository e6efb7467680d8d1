// A non-ASCII name reaches a POSIX disk as exactly its UTF-8 bytes, whatever the process's
// locale (the Windows form of this check is ChineseNames_test.cpp, through the system's names).
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../TestSupport.h"
#include "platform/FsPath.h"

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

}  // namespace
}  // namespace zent::platform
