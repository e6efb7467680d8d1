#include "install/RunProgram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Process.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

class RunProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "run" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (uint32_t pid : started_) platform::TerminateProcess(pid);
  }

  // An executable shell script in the test's folder.
  std::string Script(const std::string& name, const std::string& body) {
    const fs::path p = dir_ / name;
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fs::permissions(p, fs::perms::owner_all);
    return p.string();
  }

  static std::string Read(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // Waits for a file the child writes; false after a generous guard time.
  static bool WaitFile(const fs::path& p) {
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
      if (fs::exists(p) && !Read(p).empty()) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  fs::path dir_;
  std::vector<uint32_t> started_;
};

TEST_F(RunProgramTest, NFCCheckProgramIsStartedAndNotWaitedFor) {
  // A check program that never ends by itself.
  Script(kNFCCheckProgram, "echo $$ >> started\npwd > cwd\nexec sleep 300\n");
  const uint32_t pid = RunNFCCheckProgram(dir_.string() + "/");
  ASSERT_NE(pid, 0u);
  started_.push_back(pid);
  ASSERT_TRUE(WaitFile(dir_ / "cwd"));
  EXPECT_EQ(Read(dir_ / "started"), std::to_string(pid) + "\n");
  EXPECT_EQ(Read(dir_ / "cwd"), dir_.string() + "\n");  // started in its own folder
  EXPECT_TRUE(platform::ProcessExePath(pid).has_value());  // still running
}

TEST_F(RunProgramTest, NoNFCCheckProgramStartsNothing) {
  EXPECT_EQ(RunNFCCheckProgram(dir_.string() + "/"), 0u);
  EXPECT_EQ(RunNFCCheckProgram(""), 0u);
  fs::create_directory(dir_ / kNFCCheckProgram);  // a folder of that name is no program
  EXPECT_EQ(RunNFCCheckProgram(dir_.string() + "/"), 0u);
}

TEST_F(RunProgramTest, ParametersReachTheProgramAsTheyStandWithoutAShell) {
  const std::string file = Script("echo args", "for a in \"$@\"; do echo \"$a\"; done > args\n");
  const uint32_t pid = RunProgram(file, {"two words", "$(touch injected)", "a;b"}, true);
  EXPECT_NE(pid, 0u);
  // Waited for: the output is complete when the call returns.
  EXPECT_EQ(Read(dir_ / "args"), "two words\n$(touch injected)\na;b\n");
  EXPECT_FALSE(fs::exists(dir_ / "injected"));
}

TEST_F(RunProgramTest, RelativeNameIsTakenFromOurFolderNotTheChildsOne) {
  fs::create_directory(dir_ / "sub");
  Script("sub/prog", "pwd > ran\n");
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  const uint32_t pid = RunProgram("sub/prog", {}, true);
  fs::current_path(before);
  EXPECT_NE(pid, 0u);
  EXPECT_EQ(Read(dir_ / "sub/ran"), (dir_ / "sub").string() + "\n");
}

TEST_F(RunProgramTest, MissingOrNonExecutableFileStartsNothing) {
  EXPECT_EQ(RunProgram((dir_ / "missing").string(), {}, false), 0u);
  EXPECT_EQ(RunProgram("", {}, false), 0u);
  std::ofstream(dir_ / "plain") << "not a program";
  EXPECT_EQ(RunProgram((dir_ / "plain").string(), {}, true), 0u);
}

}  // namespace
}  // namespace zent
