// The player's control against a stand-in player (a script that records its arguments and
// then sleeps) and a scripted desktop: the settings file, the arguments, one player at a
// time, the failure texts, the window wait; and the shipped adapter against a stand-in mpv.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/ProfileFile.h"
#include "media/AdPlayback.h"
#include "media/MPCPlayer.h"
#include "platform/Process.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Alive(uint32_t pid) {
  const auto exe = platform::ProcessExePath(pid);
  return exe.has_value();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// A desktop where the player's window shows after `showAfter` looks.
class FakeWindows : public TPlayerWindows {
 public:
  explicit FakeWindows(int showAfter) : showAfter_(showAfter) {}
  std::optional<uint32_t> FindShownWindow(uint32_t pid) override {
    std::lock_guard lock(mutex_);
    ++looks_;
    if (showAfter_ < 0 || looks_ <= showAfter_) return std::nullopt;
    return pid + 1000000;
  }
  bool SkipTaskbar(uint32_t window) override {
    std::lock_guard lock(mutex_);
    skipped_.push_back(window);
    return true;
  }
  int Looks() {
    std::lock_guard lock(mutex_);
    return looks_;
  }
  std::vector<uint32_t> Skipped() {
    std::lock_guard lock(mutex_);
    return skipped_;
  }

 private:
  std::mutex mutex_;
  int showAfter_;
  int looks_ = 0;
  std::vector<uint32_t> skipped_;
};

class MPCPlayerTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(ZENT_TEST_TMP_DIR) / ("player-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    player_ = root_ / "Player";
    fs::create_directories(player_);
    // Records its working folder and every argument on a line of its own, then stays.
    const fs::path script = player_ / "mpc-be.exe";
    std::ofstream(script) << "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"args.$$\"\n"
                             "exec sleep 60\n";
    fs::permissions(script, fs::perms::owner_all);
  }

  std::string ArgsOf(uint32_t pid) {
    const fs::path file = player_ / ("args." + std::to_string(pid));
    WaitUntil([&] { return ReadFile(file).find('\n') != std::string::npos && ReadFile(file).ends_with("\n"); }, 5s);
    std::this_thread::sleep_for(50ms);
    return ReadFile(file);
  }

  fs::path root_;
  fs::path player_;
};

TEST_F(MPCPlayerTest, WritesTheRectangleStartsThePlayerInItsFolderAndTakesItsWindowOffTheTaskbar) {
  // Deployed settings, a damaged line and bytes that are no text stay as they were.
  std::ofstream(player_ / "mpc-be.ini", std::ios::binary)
      << "[Settings]\nRemember=1\nLastWindowRect=old\n\xff\xfe garbage [\n[Other]\nKey=v\n";
  auto windows = std::make_shared<FakeWindows>(3);
  uint32_t pid = 0;
  {
    TMPCPlayer player(player_.string(), windows, {32, 5ms});
    EXPECT_EQ(player.PlayFile(), (player_ / "mpc-be.exe").string());
    const std::string url = "http://h:8080/a b\"c'$(touch x);|&.mp4";
    player.Play(TScreenRect{10, 20, 310, 220}, url);
    pid = player.ProcessId();
    ASSERT_NE(pid, 0u);
    EXPECT_EQ(ArgsOf(pid), player_.string() + "\n/play\n" + url + "\n") << "one argument, no shell";
    EXPECT_EQ(windows->Looks(), 4);
    EXPECT_EQ(windows->Skipped(), std::vector<uint32_t>{pid + 1000000});
    const std::string ini = ReadFile(player_ / "mpc-be.ini");
    EXPECT_EQ(ini, "[Settings]\nRemember=1\nLastWindowRect=KAAAAAAAEBAAAAAAGDBAAAAAMNAAAAAA\n\xff\xfe garbage [\n[Other]\nKey=v\n");
    EXPECT_FALSE(fs::exists(root_ / "x"));
  }
  EXPECT_TRUE(WaitUntil([&] { return !Alive(pid); }, 5s)) << "the destructor ends the player";
}

TEST_F(MPCPlayerTest, ASecondVideoEndsTheFirstPlayerBeforeItStarts) {
  auto windows = std::make_shared<FakeWindows>(-1);
  TMPCPlayer player(player_.string(), windows, {2, 1ms});
  player.Play(TScreenRect{0, 0, 10, 10}, "http://h/1.mp4");
  const uint32_t first = player.ProcessId();
  player.Play(TScreenRect{0, 0, 20, 20}, "http://h/2.mp4");
  const uint32_t second = player.ProcessId();
  EXPECT_NE(first, second);
  EXPECT_FALSE(Alive(first));
  EXPECT_TRUE(Alive(second));
  EXPECT_EQ(windows->Skipped().size(), 0u) << "no window: the player stays on the taskbar";
  EXPECT_EQ(ProfileFile((player_ / "mpc-be.ini").string()).ReadString("Settings", "LastWindowRect", ""),
            EncodeWindowRect({0, 0, 20, 20}));
}

TEST_F(MPCPlayerTest, AMissingPlayerFailsWithTheProgramItsArgumentsAndTheSystemText) {
  const fs::path missing = root_ / "NoPlayer";
  TMPCPlayer player(missing.string(), nullptr);
  try {
    player.Play(TScreenRect{1, 2, 3, 4}, "http://h/a.mp4");
    FAIL() << "no failure";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "调用失败,命令参数如下\r\n[CP('" + (missing / "mpc-be.exe").string() +
                                         "', ' /play \"http://h/a.mp4\"')]\r\n错误信息[No such file or directory]");
  }
  EXPECT_EQ(player.ProcessId(), 0u);
}

TEST_F(MPCPlayerTest, SettingsThatCannotBeWrittenFailBeforeTheRunningPlayerIsTouched) {
  TMPCPlayer player(player_.string(), nullptr);
  player.Play(TScreenRect{0, 0, 10, 10}, "http://h/1.mp4");
  const uint32_t first = player.ProcessId();
  fs::remove(player_ / "mpc-be.ini");
  fs::create_directory(player_ / "mpc-be.ini");
  EXPECT_ANY_THROW(player.Play(TScreenRect{0, 0, 20, 20}, "http://h/2.mp4"));
  EXPECT_EQ(player.ProcessId(), first);
  EXPECT_TRUE(Alive(first));
}

TEST_F(MPCPlayerTest, PlaybackRunsOnItsWorkerAndANewVideoCutsTheWaitForTheLastWindow) {
  auto windows = std::make_shared<FakeWindows>(-1);  // never shows: each wait would last 3 s
  std::mutex mutex;
  std::vector<std::string> done;
  uint32_t lastPid = 0;
  {
    TAdPlayback playback(player_.string(), windows, [&](const TAdRequest& r, const std::string& error) {
      std::lock_guard lock(mutex);
      done.push_back(r.url + "|" + error);
    });
    const auto t0 = std::chrono::steady_clock::now();
    playback.Play({TScreenRect{0, 0, 10, 10}, "http://h/1.mp4", "items"});
    playback.Play({TScreenRect{0, 0, 10, 10}, "http://h/2.mp4", "items"});
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms) << "Play never waits";
    std::this_thread::sleep_for(300ms);
    {
      std::lock_guard lock(mutex);
      ASSERT_EQ(done.size(), 1u);
      EXPECT_EQ(done[0], "http://h/1.mp4|");
    }
    for (const auto& p : platform::ListProcesses()) {
      if (p.exePath.find("sleep") != std::string::npos && fs::exists(player_ / ("args." + std::to_string(p.pid)))) lastPid = p.pid;
    }
    ASSERT_NE(lastPid, 0u);
    // Leaving the scope stops the wait for the second window at once and ends its player.
  }
  EXPECT_TRUE(WaitUntil([&] { return !Alive(lastPid); }, 2s));
  std::lock_guard lock(mutex);
  EXPECT_EQ(done.size(), 2u);
}

TEST_F(MPCPlayerTest, AdapterBecomesMpvWithThePlacementFromItsSettings) {
  // The shipped adapter in a folder of its own, with a stand-in mpv first in PATH.
  const fs::path bin = root_ / "bin";
  fs::create_directories(bin);
  fs::copy_file(ZENT_PLAYER_ADAPTER, player_ / "mpc-be.exe", fs::copy_options::overwrite_existing);
  std::ofstream(bin / "mpv") << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                    (root_ / "mpv.args").string() + "\"\nexec sleep 60\n";
  fs::permissions(bin / "mpv", fs::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  ::setenv("PATH", (bin.string() + ":" + savedPath).c_str(), 1);
  uint32_t pid = 0;
  {
    TMPCPlayer player(player_.string(), nullptr);
    player.Play(TScreenRect{10, 20, 310, 220}, "http://h/-a b.mp4");
    pid = player.ProcessId();
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(root_ / "mpv.args").ends_with("http://h/-a b.mp4\n"); }, 5s));
    const std::string args = ReadFile(root_ / "mpv.args");
    EXPECT_NE(args.find("--geometry=300x200+10+20\n"), std::string::npos) << args;
    EXPECT_NE(args.find("\n--\nhttp://h/-a b.mp4\n"), std::string::npos) << args;
    // The adapter became the player: the process the browser knows is the one playing.
    ASSERT_TRUE(WaitUntil([&] { return platform::ProcessExePath(pid).value_or("").find("sleep") != std::string::npos; }, 5s));
  }
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_TRUE(WaitUntil([&] { return !Alive(pid); }, 5s));
}

}  // namespace
}  // namespace zent
