// RunProgram and RunNFCCheckProgram against a copy of this test program, on every system: the
// copy reports the arguments and the folder it got, so the system's own way of passing them
// (a Windows command line's quoting, a POSIX argument vector) is what is checked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "OwnArguments.h"
#include "common/Utils.h"
#include "install/RunProgram.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "support/ScopedEnvironment.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kChildVariable = "ZENT_RUN_PROGRAM_CHILD";

// In a started copy, before any test: writes its arguments (one a line) and its current
// folder there, then ends; told "stay" it waits to be ended, at most a minute, so a failed
// parent never leaves it behind. Each file appears whole (written, then renamed).
const bool kIsChild = [] {
  const auto mode = platform::EnvironmentValue(kChildVariable);
  if (!mode) return false;
  {
    std::ofstream out("args.part", std::ios::binary);
    for (const std::string& arg : OwnArguments()) out << arg << '\n';
  }
  std::ofstream("cwd.part", std::ios::binary) << platform::Utf8Of(fs::current_path());
  std::error_code ignored;
  fs::rename("args.part", "args", ignored);
  fs::rename("cwd.part", "cwd", ignored);
  if (*mode == "stay") std::this_thread::sleep_for(60s);
  std::_Exit(0);
}();

class RunProgramCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "runcopy" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (uint32_t pid : started_) platform::TerminateProcess(pid);
  }

  // This test program copied into the case's folder as `name`.
  std::string CopyOfUs(const std::string& name) const {
    const fs::path copy = dir_ / platform::FsPath(name);
    fs::copy_file(platform::FsPath(GetAppFileName()), copy);
    return platform::Utf8Of(copy);
  }

  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Waits for a file the child writes; false after a generous guard time.
  static bool WaitFile(const fs::path& p) {
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
      if (fs::exists(p)) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  fs::path dir_;
  std::vector<uint32_t> started_;
};

TEST_F(RunProgramCopyTest, NFCCheckProgramIsStartedInItsFolderAndNotWaitedFor) {
  CopyOfUs(kNFCCheckProgram);
  testing::ScopedEnvironmentValue child(kChildVariable, "stay");
  const uint32_t pid = RunNFCCheckProgram(platform::Utf8Of(dir_) + "/");
  ASSERT_NE(pid, 0u);
  started_.push_back(pid);
  ASSERT_TRUE(WaitFile(dir_ / "cwd"));
  EXPECT_TRUE(fs::equivalent(platform::FsPath(Read(dir_ / "cwd")), dir_)) << Read(dir_ / "cwd");
  EXPECT_EQ(Read(dir_ / "args"), "");
  EXPECT_TRUE(platform::ProcessExePath(pid).has_value());  // still running
}

TEST_F(RunProgramCopyTest, ParametersReachTheProgramAsTheyStand) {
  const std::string program = CopyOfUs("echo args 收银.exe");
  const std::vector<std::string> parameters = {
      "two words", "$(touch injected)", "a;b&c|d", "say \"hi\"", "C:\\path with\\", "end\\\\", "", "收银台", "%PATH%"};
  testing::ScopedEnvironmentValue child(kChildVariable, "end");
  const uint32_t pid = RunProgram(program, parameters, true);
  ASSERT_NE(pid, 0u);
  // Waited for: the output is complete when the call returns.
  std::string expected;
  for (const std::string& p : parameters) expected += p + "\n";
  EXPECT_EQ(Read(dir_ / "args"), expected);
  EXPECT_FALSE(fs::exists(dir_ / "injected"));
}

}  // namespace
}  // namespace zent
