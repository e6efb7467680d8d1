#include "platform/Shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../TestSupport.h"

namespace zent::platform {
namespace {

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  ::chmod(path.c_str(), 0755);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A stand-in opener first on PATH records its arguments, one per line, then signals.
class ShellOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir(bin_.c_str(), 0755);
    WriteScript(bin_ + "/xdg-open",
                "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + (dir_ / "args") + "'; done\n"
                "printf R > '" + (dir_ / "ready") + "'\n");
    path_ = std::make_unique<testing::ScopedEnv>("PATH", (bin_ + ":/usr/bin:/bin").c_str());
  }
  testing::TempDir dir_;
  std::string bin_ = dir_ / "bin";
  std::unique_ptr<testing::ScopedEnv> path_;
};

TEST_F(ShellOpenTest, DocumentGoesToTheOpenerAsOneArgument) {
  const std::string doc = dir_ / "report; rm -rf $HOME `x`.xlsx";
  std::ofstream(doc) << "data";
  testing::ReadySignal ready(dir_ / "ready");
  EXPECT_GT(ShellOpen(doc), 32);
  ASSERT_TRUE(ready.Wait());
  EXPECT_EQ(ReadAll(dir_ / "args"), doc + "\n");
}

TEST_F(ShellOpenTest, ExecutableFileIsStartedItself) {
  const std::string program = dir_ / "tool.sh";
  WriteScript(program, "printf R > '" + (dir_ / "ready") + "'\n");
  testing::ReadySignal ready(dir_ / "ready");
  EXPECT_GT(ShellOpen(program), 32);
  ASSERT_TRUE(ready.Wait());
  EXPECT_EQ(ReadAll(dir_ / "args"), "") << "the opener must not be involved";
}

TEST_F(ShellOpenTest, ExecutableStartsInTheGivenWorkingFolder) {
  const std::string program = dir_ / "tool.sh";
  const std::string work = dir_ / "work";
  ::mkdir(work.c_str(), 0755);
  WriteScript(program, "pwd > '" + (dir_ / "cwd") + "'\nprintf R > '" + (dir_ / "ready") + "'\n");
  testing::ReadySignal ready(dir_ / "ready");
  EXPECT_GT(ShellOpen(program, work), 32);
  ASSERT_TRUE(ready.Wait());
  EXPECT_EQ(ReadAll(dir_ / "cwd"), work + "\n");
}

TEST_F(ShellOpenTest, FailuresKeepTheirCodes) {
  EXPECT_EQ(ShellOpen(dir_ / "missing.xlsx"), kShellFileNotFound);
  EXPECT_EQ(ShellOpen(""), kShellFileNotFound);
  const std::string doc = dir_ / "a.txt";
  std::ofstream(doc) << "x";
  testing::ScopedEnv noOpener("PATH", "/nonexistent");
  EXPECT_EQ(ShellOpen(doc), kShellNoAssociation);
}

TEST_F(ShellOpenTest, AddressGoesToTheOpenerExactlyAndIsNeverStarted) {
  const std::string program = dir_ / "tool.sh";
  WriteScript(program, "printf started > '" + (dir_ / "started") + "'\n");
  const std::string addresses[] = {
      "http://h/a b?c=1&d=$(id);`x`|y",
      " spaced ",
      program,  // names a program: still only handed to the opener
  };
  std::string expected;
  for (const auto& address : addresses) {
    testing::ReadySignal ready(dir_ / "ready");
    EXPECT_GT(ShellOpenAddress(address), 32) << address;
    ASSERT_TRUE(ready.Wait()) << address;
    expected += address + "\n";
  }
  EXPECT_EQ(ReadAll(dir_ / "args"), expected);
  EXPECT_FALSE(std::ifstream(dir_ / "started").good());
}

TEST_F(ShellOpenTest, AddressThatNoArgumentCanCarryIsNotFound) {
  EXPECT_EQ(ShellOpenAddress(""), kShellFileNotFound);
  EXPECT_EQ(ShellOpenAddress(std::string("http://a\0b", 10)), kShellFileNotFound);
  testing::ScopedEnv noOpener("PATH", "/nonexistent");
  EXPECT_EQ(ShellOpenAddress("http://a"), kShellNoAssociation);
}

}  // namespace
}  // namespace zent::platform
