// The file contracts every module relies on, on each system's implementation: whole-file reads
// and replacement, new files made exactly once, appended records, reads through one open file,
// and what a path's status says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/FileStatus.h"
#include "platform/FsPath.h"
#include "platform/InstallFiles.h"
#include "platform/ReadOnlyFile.h"

namespace zent::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string ReadAll(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(AtomicFile, WholeFilesAreReadWithinTheirLimitAndReplacedWhole) {
  TempDir dir;
  const std::string path = dir / "settings.ini";
  std::string bytes = "stale";
  EXPECT_EQ(ReadWholeFile(path, 100, bytes), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(bytes.empty());
  ASSERT_FALSE(ReplaceFile(path, "first"));  // a new file
  ASSERT_FALSE(ReplaceFile(path, std::string("second\0line\r\n", 13)));
  ASSERT_FALSE(ReadWholeFile(path, 13, bytes));
  EXPECT_EQ(bytes, std::string("second\0line\r\n", 13));
  EXPECT_EQ(ReadWholeFile(path, 12, bytes), std::errc::file_too_large);
  EXPECT_TRUE(ReadWholeFile(dir.path(), 100, bytes));
  EXPECT_TRUE(ReplaceFile(dir.path(), "x"));
  EXPECT_EQ(ReplaceFile(dir / "missing/settings.ini", "x"), std::errc::no_such_file_or_directory);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(FsPath(dir.path())), fs::directory_iterator()), 1);
}

TEST(AtomicFile, ANewFileIsMadeOnceAndAFolderLockExcludesOtherHolders) {
  TempDir dir;
  const std::string path = dir / "key.pem";
  ASSERT_FALSE(WriteNewFile(path, "secret", 0600));
  EXPECT_EQ(WriteNewFile(path, "other", 0600), std::errc::file_exists);
  EXPECT_EQ(ReadAll(path), "secret");

  // A second holder gets the lock only once the first has let it go.
  auto first = std::make_unique<FolderLock>();
  ASSERT_FALSE(first->Acquire(dir.path()));
  std::atomic<bool> released{false};
  bool secondSawRelease = false;
  std::jthread other([&] {
    FolderLock second;
    if (!second.Acquire(dir.path())) secondSawRelease = released.load();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // lets it reach its wait
  released = true;
  first.reset();
  other.join();
  EXPECT_TRUE(secondSawRelease);
  EXPECT_TRUE(FolderLock().Acquire(dir / "missing"));
}

TEST(FileHandle, RecordsFromSeveralHandlesAreAppendedWhole) {
  TempDir dir;
  const std::string path = dir / "run.log";
  FileHandle a, b;
  ASSERT_FALSE(a.Open(path));
  ASSERT_FALSE(b.Open(path));
  EXPECT_EQ(a.Path(), path);
  ASSERT_FALSE(a.Write("one\n"));
  ASSERT_FALSE(b.Write("two\n"));
  ASSERT_FALSE(a.Write("three\n"));
  ASSERT_FALSE(a.Flush());
  uint64_t size = 0;
  ASSERT_FALSE(b.Size(size));
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(ReadAll(path), "one\ntwo\nthree\n");
  FileHandle moved = std::move(a);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(a.Write("x"), std::errc::bad_file_descriptor);
  FileHandle folder;
  EXPECT_TRUE(folder.Open(dir.path()));
  EXPECT_FALSE(folder.IsOpen());
}

TEST(ReadOnlyFile, ReadsTheFileItOpenedAndCopiesItPrivatelyWithinALimit) {
  TempDir dir;
  const std::string path = dir / "package.exe";
  std::ofstream(FsPath(path), std::ios::binary) << "0123456789";
  ReadOnlyFile file;
  ASSERT_FALSE(file.Open(path));
  EXPECT_EQ(file.Size(), 10u);
  char buf[8] = {};
  size_t got = 0;
  ASSERT_FALSE(file.ReadAt(6, buf, sizeof buf, got));
  EXPECT_EQ(std::string(buf, got), "6789");

  std::string copy;
  EXPECT_EQ(file.CopyToPrivateFile(dir.path(), 9, copy), std::errc::file_too_large);
  EXPECT_EQ(std::distance(fs::directory_iterator(FsPath(dir.path())), fs::directory_iterator()), 1);
  ASSERT_FALSE(file.CopyToPrivateFile(dir.path(), 10, copy));
  EXPECT_EQ(ReadAll(copy), "0123456789");
  EXPECT_FALSE(FlushToDisk(copy));

  ReadOnlyFile folder;
  EXPECT_EQ(folder.Open(dir.path()), std::errc::invalid_argument);
  EXPECT_EQ(folder.Open(dir / "missing"), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(folder.IsOpen());
}

TEST(FileStatus, FilesAndFoldersAreToldApart) {
  TempDir dir;
  std::ofstream(FsPath(dir / "a.txt"), std::ios::binary) << "abc";
  PathStatus status;
  ASSERT_FALSE(GetPathStatus(dir / "a.txt", status));
  EXPECT_TRUE(status.regularFile);
  EXPECT_FALSE(status.folder || status.link);
  EXPECT_EQ(status.size, 3u);
  ASSERT_FALSE(GetPathStatus(dir.path(), status));
  EXPECT_TRUE(status.folder);
  EXPECT_FALSE(status.regularFile || status.link);
  EXPECT_EQ(GetPathStatus(dir / "missing", status), std::errc::no_such_file_or_directory);
}

}  // namespace
}  // namespace zent::platform
