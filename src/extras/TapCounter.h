// TTapCounter: the tap rule of the floating restore button. Four taps that all fall within
// five seconds of the burst's first tap complete a burst; a burst whose five seconds have
// passed is over and the next tap starts a new one. Thread-safe: taps come from the window's
// thread, the clearing from the watcher (TCheckThread). The clock is injectable so the rule
// can be checked without waiting.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>

namespace zent {

class TTapCounter {
 public:
  using Clock = std::chrono::steady_clock;
  using NowFn = std::function<Clock::time_point()>;

  static constexpr uint8_t kTapsToRestore = 4;
  static constexpr std::chrono::milliseconds kBurstWindow{5000};

  explicit TTapCounter(NowFn now = &Clock::now, std::chrono::milliseconds window = kBurstWindow);

  // One tap. True when it completes a burst; the counter is then back at 0.
  bool CountTap();
  void ResetTaps();
  uint8_t Taps() const;

  // The watcher's wait: returns once no burst is open, after clearing a burst whose window has
  // passed, or on a stop request. The wait itself runs on real time; the rule is judged by the
  // counter's clock each time it wakes.
  void WaitBurstEnd(std::stop_token stop);
  // True when the counter is 0 now or becomes 0 within `limit`.
  bool WaitCleared(std::chrono::milliseconds limit);

 private:
  bool ExpireLocked(Clock::time_point now);

  NowFn now_;
  std::chrono::milliseconds window_;
  mutable std::mutex lock_;
  std::condition_variable_any changed_;
  uint8_t taps_ = 0;
  Clock::time_point burstStart_{};
  uint64_t burst_ = 0;  // counts bursts, so a waiter notices one that ended and began again
};

}  // namespace zent
