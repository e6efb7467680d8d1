// Names in Chinese through the whole platform layer: files created, written, renamed, listed
// and locked, named locks held across processes, and registry keys and values. On Windows
// every one of these crosses the UTF-8 / UTF-16 boundary at the system's "W" calls; a path
// that went through an ANSI call instead would come back as question marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/FileStatus.h"
#include "platform/FsPath.h"
#include "platform/NamedLock.h"
#include "platform/PartialFile.h"
#include "platform/Process.h"
#include "platform/ReadOnlyFile.h"
#include "platform/Registry.h"

namespace zent::platform {
namespace {

namespace fs = std::filesystem;
using testing::Child;
using testing::ReadySignal;
using testing::ScopedEnv;
using testing::TempDir;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(FsPath(folder))) names.push_back(Utf8Of(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ChineseNames, FilesAreCreatedWrittenRenamedAndListedUnderTheirNames) {
  TempDir dir;
  const std::string folder = dir / "日志 文件夹";
  ASSERT_TRUE(fs::create_directories(FsPath(folder)));

  const std::string report = folder + "/报告 一.txt";
  ASSERT_FALSE(WriteNewFile(report, "第一", 0644));
  EXPECT_EQ(WriteNewFile(report, "x", 0644), std::errc::file_exists);
  ASSERT_FALSE(ReplaceFile(report, "第二"));
  std::string bytes;
  ASSERT_FALSE(ReadWholeFile(report, 100, bytes));
  EXPECT_EQ(bytes, "第二");

  FileHandle log;
  ASSERT_FALSE(log.Open(folder + "/运行日志.log"));
  ASSERT_FALSE(log.Write("一行\n"));
  log.Close();

  PartialFile download;
  ASSERT_FALSE(download.Create(folder));
  ASSERT_FALSE(download.Write("包", 3));
  ASSERT_FALSE(download.Commit(folder + "/安装包.exe"));

  fs::rename(FsPath(report), FsPath(folder + "/报告 二.txt"));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"安装包.exe", "报告 二.txt", "运行日志.log"}));

  PathStatus status;
  ASSERT_FALSE(GetPathStatus(folder + "/报告 二.txt", status));
  EXPECT_TRUE(status.regularFile);
  EXPECT_EQ(status.size, 6u);
  ReadOnlyFile file;
  ASSERT_FALSE(file.Open(folder + "/运行日志.log"));
  EXPECT_EQ(file.Size(), 7u);
  ASSERT_FALSE(GetPathStatus(folder, status));
  EXPECT_TRUE(status.folder);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"日志 文件夹"});
}

TEST(ChineseNames, FolderAndNamedLocksTakeChineseNames) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
  ScopedEnv temp("TMP", dir.path().c_str());
  const std::string folder = dir / "配置";
  ASSERT_TRUE(fs::create_directories(FsPath(folder)));
  FolderLock folderLock;
  ASSERT_FALSE(folderLock.Acquire(folder));

  // The name goes to the child on its command line and comes back as the same lock.
  const std::string name = "浏览器实例-" + std::to_string(CurrentProcessId());
  ReadySignal ready(dir / "ready");
  Child child("hold", {name, ready.path()});
  ASSERT_TRUE(ready.Wait());
  EXPECT_TRUE(NamedLock::Exists(name));
  EXPECT_FALSE(NamedLock::Exists("浏览器实例-" + std::to_string(CurrentProcessId()) + "-其他"));
  NamedLock mine(name);
  EXPECT_EQ(mine.Lock(20), std::errc::timed_out);
  child.Kill();
  EXPECT_FALSE(NamedLock::Exists(name));
  EXPECT_FALSE(mine.Lock(0));
}

TEST(ChineseNames, RegistryKeysAndValuesKeepTheirNames) {
  TempDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").c_str());
  const std::string top = "SOFTWARE\\ZENT-测试-" + std::to_string(CurrentProcessId());
  struct Cleanup {
    std::string key;
    ~Cleanup() { testing::system::RemoveUserRegistryKey(key); }
  } cleanup{top};

  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, top + "\\门店\\收银台", key));
  ASSERT_FALSE(key.WriteString("名称", "一号收银台"));
  ASSERT_FALSE(key.WriteDword("编号", 7));

  RegistryKey again;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, top + "\\门店\\收银台", false, again));
  std::string text;
  ASSERT_FALSE(again.ReadString("名称", text));
  EXPECT_EQ(text, "一号收银台");
  uint32_t number = 0;
  ASSERT_FALSE(again.ReadDword("编号", number));
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(again.ReadString("名字", text), std::errc::no_such_file_or_directory);
  EXPECT_EQ(RegistryKey::Open(RegRoot::CurrentUser, top + "\\门店\\厨房", false, again),
            std::errc::no_such_file_or_directory);
  // The parent came into being with the key.
  EXPECT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, top + "\\门店", false, again));
}

}  // namespace
}  // namespace zent::platform
