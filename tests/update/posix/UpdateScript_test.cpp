// The /bin/sh hand-off: the root helper's plan and the script's real run (POSIX shell, sudo).
#include "update/UpdateScript.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "update/UpdateTestSupport.h"
#include "common/FileLog.h"
#include "platform/Process.h"

namespace zent {
namespace {

using namespace zent::testing;
using namespace std::chrono_literals;

TEST(UpdateScript, PackagedInstallAsksTheRootHelperAndWritesIntoTemp) {
  struct Case {
    bool writable, helper;
    const char* script;
    std::vector<std::string> command;
  };
  const std::string program = "/opt/lumo7browser/bin/Lumo7Browser";
  const std::vector<std::string> helper = {"sudo", "-n", "/usr/libexec/lumo7browser/lumo7-apply-update"};
  const Case cases[] = {
      {true, true, "/opt/lumo7browser/bin/UpdateCmd.sh", {}},
      {true, false, "/opt/lumo7browser/bin/UpdateCmd.sh", {}},
      // An unwritable folder without the helper: the direct way fails and says why.
      {false, false, "/opt/lumo7browser/bin/UpdateCmd.sh", {}},
      {false, true, "/opt/lumo7browser/Temp/UpdateCmd.sh", helper},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.writable) + std::to_string(c.helper));
    const TUpdateScriptPlan plan = PlanUpdateScript(program, c.writable, c.helper);
    EXPECT_EQ(plan.scriptPath, c.script);
    EXPECT_EQ(plan.installerCommand, c.command);
    EXPECT_EQ(plan.packaged, !c.writable && c.helper);
  }
}

// A program folder whose name would run commands if the script did not quote it.
class ScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder_ = root_ + "prog dir $(touch INJECTED) it's/bin/";
    fs::create_directories(folder_);
    program_ = folder_ + "Lumo7Browser";
    // The "program" records its restart; the "installer" records its arguments.
    WriteFile(program_, "#!/bin/sh\necho restarted > \"$(dirname \"$0\")/restarted\"\n");
    fs::permissions(program_, fs::perms(0755));
    InitFileLog(root_ + "Logs/");
  }

  void MakeInstaller(int exitCode) {
    package_ = root_ + "Temp/ExeBuf/DO2_U_abc.exe";
    WriteFile(package_, "#!/bin/sh\necho \"$@\" > '" + root_ + "installer-args'\nexit " +
                            std::to_string(exitCode) + "\n");
    fs::permissions(package_, fs::perms(0644));  // as downloaded: not executable
  }

  // Waits for the script to delete itself (it is the last thing it does).
  void WaitScriptGone() {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (fs::exists(folder_ + "UpdateCmd.sh") && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(fs::exists(folder_ + "UpdateCmd.sh"));
  }

  std::string root_, folder_, program_, package_;
  AppLogTail appLog_;
};

TEST_F(ScriptRun, InstallsThenRestartsThenDeletesItself) {
  MakeInstaller(0);
  ASSERT_TRUE(ExecUpdateFor(program_, package_));
  EXPECT_TRUE(fs::status(package_).permissions() == (fs::perms(0644) | fs::perms::owner_exec | fs::perms::group_exec));
  WaitScriptGone();
  EXPECT_EQ(ReadFile(root_ + "installer-args"), "/SILENT /NOCANCEL\n");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!fs::exists(folder_ + "restarted") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(fs::exists(folder_ + "restarted"));
  EXPECT_FALSE(fs::exists(folder_ + "INJECTED"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "INJECTED"));
  const std::string logs = appLog_.New();
  EXPECT_NE(logs.find("ExecUpdate-Begin"), std::string::npos);
  EXPECT_NE(logs.find("ExecUpdate-End"), std::string::npos);
}

TEST_F(ScriptRun, InstallerThatDidNotBeginMeansNoRestart) {
  MakeInstaller(2);
  ASSERT_TRUE(ExecUpdateFor(program_, package_));
  WaitScriptGone();
  EXPECT_TRUE(fs::exists(root_ + "installer-args"));
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(fs::exists(folder_ + "restarted"));
}

TEST_F(ScriptRun, WaitsWhileAProcessRunsFromTheProgramPath) {
  MakeInstaller(2);
  // A real executable at the program's path (in other case: the match ignores case).
  const std::string running = folder_ + "LUMO7BROWSER-helper";
  fs::copy_file("/bin/sleep", running);
  uint32_t pid = 0;
  ASSERT_FALSE(platform::SpawnProcess(running, {"30"}, {}, pid));
  ASSERT_TRUE(ExecUpdateFor(folder_ + "lumo7browser", package_));
  std::this_thread::sleep_for(2500ms);
  EXPECT_FALSE(fs::exists(root_ + "installer-args")) << "the installer ran while the program ran";
  platform::TerminateProcess(pid);
  platform::WaitProcess(pid, 5000);
  WaitScriptGone();
  EXPECT_TRUE(fs::exists(root_ + "installer-args"));
}

}  // namespace
}  // namespace zent
