// The restart thread: its steps in order with scripted outcomes, the page told exactly once
// and only after success, one reset at a time, a stop that ends it at once, and one real
// restart of the stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/DeviceMgrTestSupport.h"
#include "devices/ResetDeviceMgrThread.h"
#include "platform/Registry.h"

namespace zent {
namespace {

using namespace std::chrono_literals;

// A scripted device manager: `present` says whether a look finds it; kill and start change it
// as asked.
struct Script {
  std::mutex mutex;
  bool present = true;
  bool dies = true;       // a kill removes it
  bool startWorks = true;
  bool portAnswers = true;
  std::string pidText = "4242";
  std::vector<std::string> calls;
  std::atomic<int> notified{0};

  void Note(const std::string& call) {
    std::lock_guard lock(mutex);
    calls.push_back(call);
  }

  TResetDeviceMgrSteps Steps() {
    TResetDeviceMgrSteps s;
    s.pollPause = 5ms;
    s.polls = 20;
    s.findRunning = [this]() -> std::optional<TProcessEntryText> {
      std::lock_guard lock(mutex);
      if (!present) return std::nullopt;
      return TProcessEntryText{"/opt/dm/DeviceManager.exe", pidText};
    };
    s.kill = [this](uint32_t pid) {
      Note("kill " + std::to_string(pid));
      std::lock_guard lock(mutex);
      if (dies) present = false;
    };
    s.start = [this](const std::string& path) {
      Note("start " + path);
      std::lock_guard lock(mutex);
      if (startWorks) present = true;
      return startWorks;
    };
    s.waitPort = [this](std::stop_token) {
      Note("port");
      return portAnswers;
    };
    return s;
  }

  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
};

void RunToEnd(Script& script) {
  TDeviceMgrReset reset([&] { ++script.notified; }, script.Steps());
  ASSERT_TRUE(reset.StartDeviceMgrReset());
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (reset.Running() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
  ASSERT_FALSE(reset.Running());
}

TEST(ResetDeviceMgrThreadTest, KillsWaitsRestartsProbesAndTellsThePageOnce) {
  Script s;
  RunToEnd(s);
  EXPECT_EQ(s.Calls(), (std::vector<std::string>{"kill 4242", "start /opt/dm/DeviceManager.exe", "port"}));
  EXPECT_EQ(s.notified, 1);
}

TEST(ResetDeviceMgrThreadTest, FailuresEndTheResetWithoutTellingThePage) {
  struct Case {
    const char* what;
    void (*setup)(Script&);
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"nothing running: started from the registry",
       [](Script& s) { s.present = false; }, {"start ", "port"}},
      {"the old instance never goes", [](Script& s) { s.dies = false; }, {"kill 4242"}},
      {"the start fails", [](Script& s) { s.startWorks = false; }, {"kill 4242", "start /opt/dm/DeviceManager.exe"}},
      {"the port stays shut", [](Script& s) { s.portAnswers = false; },
       {"kill 4242", "start /opt/dm/DeviceManager.exe", "port"}},
      {"no process id", [](Script& s) { s.pidText = "12x"; }, {}},
  };
  for (const auto& c : cases) {
    Script s;
    c.setup(s);
    RunToEnd(s);
    EXPECT_EQ(s.Calls(), c.calls) << c.what;
    const bool told = c.calls.size() == 2 && c.calls[0] == "start ";
    EXPECT_EQ(s.notified, told ? 1 : 0) << c.what;
  }
}

TEST(ResetDeviceMgrThreadTest, OneResetAtATimeAndAStopEndsItAtOnce) {
  Script s;
  s.dies = false;
  TResetDeviceMgrSteps steps = s.Steps();
  steps.polls = 1501;
  steps.pollPause = 200ms;  // about 300 s of polls unless stopped
  auto reset = std::make_unique<TDeviceMgrReset>([&] { ++s.notified; }, steps);
  ASSERT_TRUE(reset->StartDeviceMgrReset());
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(reset->StartDeviceMgrReset()) << "a second reset while one runs";
  EXPECT_TRUE(reset->Running());
  const auto t0 = std::chrono::steady_clock::now();
  reset.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(s.Calls(), std::vector<std::string>{"kill 4242"});
  EXPECT_EQ(s.notified, 0);
}

TEST(ResetDeviceMgrThreadTest, ALaterResetStartsAfterTheLastOneEnded) {
  Script s;
  TDeviceMgrReset reset([&] { ++s.notified; }, s.Steps());
  for (int round = 1; round <= 2; ++round) {
    ASSERT_TRUE(reset.StartDeviceMgrReset()) << round;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (reset.Running() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(s.notified, round);
  }
}

class RealResetTest : public DeviceMgrFixture {};

TEST_F(RealResetTest, RestartsTheRunningStandinAndTellsThePage) {
  const auto dir = InstallStandin("real", true);
  Register(platform::RegRoot::LocalMachine, dir.string() + "/");
  ASSERT_TRUE(EnsureDeviceMgrStarted());
  std::optional<TProcessEntryText> first;
  ASSERT_TRUE(WaitUntil([&] { return (first = FindRunningDeviceMgr()).has_value() && Starts() == 1; }, 10s));

  std::atomic<int> notified{0};
  TDeviceMgrReset reset([&] { ++notified; });
  ASSERT_TRUE(reset.StartDeviceMgrReset());
  ASSERT_TRUE(WaitUntil([&] { return !reset.Running(); }, 60s));
  EXPECT_EQ(notified, 1);
  const auto second = FindRunningDeviceMgr();
  ASSERT_TRUE(second.has_value());
  EXPECT_NE(second->processId, first->processId);
  EXPECT_EQ(second->exePath, first->exePath);
  EXPECT_EQ(Starts(), 2);
}

}  // namespace
}  // namespace zent
