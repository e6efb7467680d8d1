// The floating button's tap rule, with a hand-driven clock, and its watcher thread on real
// time with a short window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "extras/CheckThread.h"
#include "extras/FloatBtnTaps.h"
#include "extras/TapCounter.h"

namespace zent {
namespace {

using namespace std::chrono_literals;
using Clock = TTapCounter::Clock;

struct FakeClock {
  Clock::time_point now{std::chrono::hours(1)};
  TTapCounter::NowFn Fn() {
    return [this] { return now; };
  }
};

struct TapCase {
  const char* name;
  std::vector<int> tapsAtMs;      // offsets from the first tap
  std::vector<bool> completes;    // CountTap's answer per tap
  int tapsLeft;                   // the counter afterwards
};

class TapRule : public ::testing::TestWithParam<TapCase> {};

TEST_P(TapRule, AnswersPerTapAndCounterAfterwards) {
  const TapCase& c = GetParam();
  FakeClock clock;
  const auto start = clock.now;
  TTapCounter counter(clock.Fn());
  std::vector<bool> answers;
  for (int at : c.tapsAtMs) {
    clock.now = start + std::chrono::milliseconds(at);
    answers.push_back(counter.CountTap());
  }
  EXPECT_EQ(answers, c.completes);
  EXPECT_EQ(counter.Taps(), c.tapsLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, TapRule,
    ::testing::Values(
        TapCase{"FourQuickTaps", {0, 100, 200, 300}, {false, false, false, true}, 0},
        TapCase{"FifthTapStartsANewBurst", {0, 10, 20, 30, 40, 50, 60, 70},
                {false, false, false, true, false, false, false, true}, 0},
        TapCase{"FourthTapExactlyAtTheWindowsEnd", {0, 1000, 2000, 5000}, {false, false, false, true}, 0},
        TapCase{"FourthTapJustAfterTheWindow", {0, 1000, 2000, 5001}, {false, false, false, false}, 1},
        TapCase{"FourTapsOverSixSeconds", {0, 2000, 4000, 6000}, {false, false, false, false}, 1},
        TapCase{"ThreeTapsPauseOneTap", {0, 100, 200, 5300}, {false, false, false, false}, 1},
        // The window runs from the burst's first tap, not from the latest one.
        TapCase{"WindowCountsFromTheFirstTap", {0, 4000, 4500, 5500}, {false, false, false, false}, 1},
        TapCase{"NewBurstAfterPauseCompletes", {0, 100, 200, 5300, 5400, 5500, 5600},
                {false, false, false, false, false, false, true}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(TapCounter, ResetClearsAnOpenBurst) {
  FakeClock clock;
  TTapCounter counter(clock.Fn());
  counter.CountTap();
  counter.CountTap();
  counter.CountTap();
  counter.ResetTaps();
  EXPECT_EQ(counter.Taps(), 0);
  EXPECT_FALSE(counter.CountTap()) << "after a reset the next tap is the first of a burst";
}

TEST(TapCounter, TapsFromSeveralThreadsAreAllCounted) {
  TTapCounter counter(&Clock::now, std::chrono::hours(1));
  constexpr int kThreads = 4;
  constexpr int kTapsEach = 1000;
  std::atomic<int> completed{0};
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < kTapsEach; ++i) {
          if (counter.CountTap()) ++completed;
        }
      });
    }
  }
  EXPECT_EQ(completed.load(), kThreads * kTapsEach / TTapCounter::kTapsToRestore);
  EXPECT_EQ(counter.Taps(), 0);
}

// The watcher on real time: a window short enough to wait for in a test.
TEST(CheckThread, ClearsAnUnfinishedBurstOnceItsWindowHasPassed) {
  TTapCounter counter(&Clock::now, 30ms);
  TCheckThread watcher(counter);
  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(counter.CountTap());
    watcher.Restart();
  }
  EXPECT_TRUE(counter.WaitCleared(60s));
  // Leftover signals from the burst must not stop it watching the next one.
  ASSERT_FALSE(counter.CountTap());
  watcher.Restart();
  EXPECT_TRUE(counter.WaitCleared(60s));
}

TEST(CheckThread, KeepsWatchingAfterACompletedBurst) {
  TTapCounter counter(&Clock::now, 30ms);
  TCheckThread watcher(counter);
  for (int i = 0; i < 3; ++i) {
    counter.CountTap();
    watcher.Restart();
  }
  ASSERT_TRUE(counter.CountTap());
  counter.CountTap();
  watcher.Restart();
  EXPECT_TRUE(counter.WaitCleared(60s));
}

TEST(CheckThread, StopsAtOnceWhileWaiting) {
  TTapCounter counter(&Clock::now, std::chrono::hours(1));
  {
    TCheckThread idle(counter);  // waiting for its event
  }
  {
    TCheckThread watching(counter);  // waiting for an hour-long burst to end
    counter.CountTap();
    watching.Restart();
  }
  // Reaching this line is the check: both destructors returned without the hour passing.
  EXPECT_EQ(counter.Taps(), 1);
}

TEST(FloatBtnTaps, ModuleCallsAreSafeBeforeAndAfterItsLifetime) {
  RestartTapWatch();  // no watcher yet: nothing happens
  {
    FloatBtnTapsScope scope;
    InitializeFloatBtnTaps();  // a second start keeps the one watcher
    EXPECT_FALSE(CountTap());
    RestartTapWatch();
  }
  RestartTapWatch();
  FinalizeFloatBtnTaps();
  ResetTaps();
  EXPECT_EQ(FloatBtnTapCounter().Taps(), 0);
}

}  // namespace
}  // namespace zent
