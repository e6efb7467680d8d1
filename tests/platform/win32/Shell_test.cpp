// Opening through the Windows shell: a program starts in the folder asked for; an address is
// handed over only when it is a web or mail address, so nothing a page names can start.
#include "platform/Shell.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

TEST(ShellOpen, AProgramStartsInTheGivenWorkingFolder) {
  testing::TempDir dir;
  const std::string work = dir / "work";
  std::filesystem::create_directories(FsPath(work));
  testing::ReadySignal ready(dir / "ready");
  testing::ScopedEnv action("ZENT_TEST_CHILD", "ready");
  testing::ScopedEnv readyPath("ZENT_TEST_READY", ready.path().c_str());
  EXPECT_GT(ShellOpen(ExecutablePath(), work), 32);
  ASSERT_TRUE(ready.Wait());
  std::ifstream cwd(FsPath(ready.path() + ".cwd"), std::ios::binary);
  std::stringstream text;
  text << cwd.rdbuf();
  EXPECT_EQ(FsPath(text.str()), std::filesystem::canonical(FsPath(work)));
}

TEST(ShellOpen, FailuresKeepTheirCodes) {
  testing::TempDir dir;
  EXPECT_EQ(ShellOpen(dir / "missing.xlsx"), kShellFileNotFound);
  EXPECT_EQ(ShellOpen(""), kShellFileNotFound);
}

TEST(ShellOpenAddress, OnlyWebAndMailAddressesAreHandedOver) {
  testing::TempDir dir;
  testing::ReadySignal ready(dir / "ready");
  testing::ScopedEnv action("ZENT_TEST_CHILD", "ready");
  testing::ScopedEnv readyPath("ZENT_TEST_READY", ready.path().c_str());
  const std::string program = ExecutablePath();
  for (const std::string& address : {program, "file:///" + program, std::string("shell:startup"),
                                     std::string("ms-settings:"), std::string("search-ms:query=x"),
                                     std::string("C:tool.exe"), std::string(" http://a")}) {
    EXPECT_EQ(ShellOpenAddress(address), kShellAccessDenied) << address;
  }
  EXPECT_EQ(ShellOpenAddress(""), kShellFileNotFound);
  EXPECT_EQ(ShellOpenAddress(std::string("http://a\0b", 10)), kShellFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(FsPath(ready.path() + ".cwd"))) << "a program was started";
}

}  // namespace
}  // namespace zent::platform
