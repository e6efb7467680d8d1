// Starting UpdateCmd.bat: the command interpreter runs the script on its own, without us
// waiting; a path the interpreter would expand is refused.
#include "platform/HandOffScript.h"

#include <fstream>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent::platform {
namespace {

TEST(HandOffScript, TheInterpreterRunsTheScriptDetached) {
  EXPECT_STREQ(HandOffScriptName(), "UpdateCmd.bat");
  testing::TempDir dir;
  testing::ReadySignal ready(dir / "ready");
  // The script starts this test program, which reports through the ready signal.
  testing::ScopedEnv action("ZENT_TEST_CHILD", "ready");
  testing::ScopedEnv readyPath("ZENT_TEST_READY", ready.path().c_str());
  const std::string script = dir / "Update Cmd.bat";
  ASSERT_FALSE(ReplaceFile(script, "@echo off\r\n\"" + ExecutablePath() + "\"\r\n"));
  ASSERT_FALSE(StartHandOffScript(script));
  EXPECT_TRUE(ready.Wait());
}

TEST(HandOffScript, APathTheInterpreterWouldExpandIsRefused) {
  EXPECT_EQ(StartHandOffScript("C:\\%PATH%\\UpdateCmd.bat"), std::errc::invalid_argument);
  EXPECT_EQ(StartHandOffScript(""), std::errc::invalid_argument);
}

}  // namespace
}  // namespace zent::platform
