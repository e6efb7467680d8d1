// When to reload the page after its renderer process died. A renderer that keeps dying
// must never drive a reload loop: at most three reloads in any minute, and beyond the first
// three in a row each reload waits a pause that doubles up to 30 seconds.
#pragma once

#include <chrono>
#include <deque>

namespace zent {

class TRendererCrashPolicy {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr int kFreeReloads = 3;
  static constexpr std::chrono::milliseconds kWindow{60000};
  static constexpr std::chrono::milliseconds kFirstPause{5000};
  static constexpr std::chrono::milliseconds kMaxPause{30000};

  // A renderer ended abnormally at `now`: how long to wait before reloading. The reload is
  // counted at the time it will happen.
  std::chrono::milliseconds OnCrash(Clock::time_point now);

 private:
  std::deque<Clock::time_point> reloads_;  // planned reload times, oldest first
  std::chrono::milliseconds pause_{0};     // the last pause used; 0 while reloads are free
};

}  // namespace zent
