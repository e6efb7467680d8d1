// The hand-off script on every system: a script that cannot be written starts nothing and
// keeps the package (the script's run is in posix/, its Windows text in the platform tests).
#include "update/UpdateScript.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"
#include "common/FileLog.h"
#include "platform/HandOffScript.h"

namespace zent {
namespace {

using namespace zent::testing;

TEST(UpdateScript, AProgramFolderThatCannotBeWrittenFailsAndKeepsThePackage) {
  const std::string root = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  InitFileLog(root + "Logs/");
  const AppLogTail appLog;
  const std::string package = root + "Temp/ExeBuf/DO2_U_abc.exe";
  WriteFile(package, "package");
  ASSERT_FALSE(ExecUpdateFor(root + "no such folder/Lumo7Browser", package));
  EXPECT_TRUE(fs::exists(package));
  const std::string logs = appLog.New();
  EXPECT_NE(logs.find("ExecUpdate异常:"), std::string::npos) << logs;
  // The system's own script was the one tried.
  EXPECT_NE(logs.find(platform::HandOffScriptName()), std::string::npos) << logs;
}

}  // namespace
}  // namespace zent
