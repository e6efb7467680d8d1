// Profile files against what only a POSIX file system has (or lets anyone make): FIFOs,
// mode bits, the effective user and symbolic links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "../ProfileFileTest.h"
#include "common/ProfileFile.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

TEST_F(ProfileFileTest, FifoIsNeitherBlockedOnNorReplaced) {
  const std::string fifo = PathOf("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ProfileFile pipe(fifo);
  EXPECT_EQ(pipe.ReadString("A", "K", "def"), "def");  // would hang if the read blocked
  EXPECT_THROW(pipe.WriteString("A", "K", "v"), EProfileError);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(ProfileFileTest, UnreadableFileIsNotOverwritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), "[A]\nKeep=1\n");
  ::chmod(file.FileName().c_str(), 0200);
  EXPECT_THROW(file.WriteString("A", "K", "v"), EProfileError);
  ::chmod(file.FileName().c_str(), 0600);
  EXPECT_EQ(Get(file.FileName()), "[A]\nKeep=1\n");
}

TEST_F(ProfileFileTest, WritesKeepFilePermissions) {
  ProfileFile file(PathOf("cfg.ini"));
  Put(file.FileName(), "[A]\r\nK=1\r\n");
  ::chmod(file.FileName().c_str(), 0640);
  file.WriteString("A", "K", "2");
  EXPECT_EQ(Get(file.FileName()), "[A]\r\nK=2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.FileName().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Listing(), std::vector<std::string>{"cfg.ini"});
}

TEST_F(ProfileFileTest, WritesThroughASymbolicLink) {
  Put(PathOf("real.ini"), "[A]\nK=1\n");
  fs::create_symlink(PathOf("real.ini"), PathOf("link.ini"));
  ProfileFile(PathOf("link.ini")).WriteString("A", "K", "2");
  EXPECT_TRUE(fs::is_symlink(PathOf("link.ini")));
  EXPECT_EQ(Get(PathOf("real.ini")), "[A]\nK=2\n");
}

}  // namespace
}  // namespace zent
