#include "extras/TapCounter.h"

#include <utility>

namespace zent {

TTapCounter::TTapCounter(NowFn now, std::chrono::milliseconds window)
    : now_(std::move(now)), window_(window) {}

bool TTapCounter::ExpireLocked(Clock::time_point now) {
  // "More than" the window: a tap exactly at its end still belongs to the burst.
  if (taps_ == 0 || now - burstStart_ <= window_) return false;
  taps_ = 0;
  changed_.notify_all();
  return true;
}

bool TTapCounter::CountTap() {
  std::lock_guard lock(lock_);
  const auto now = now_();
  // A burst that is over does not count, even when the watcher has not cleared it yet.
  ExpireLocked(now);
  if (taps_ == 0) {
    burstStart_ = now;
    ++burst_;
  }
  ++taps_;
  const bool complete = taps_ >= kTapsToRestore;
  if (complete) taps_ = 0;
  changed_.notify_all();
  return complete;
}

void TTapCounter::ResetTaps() {
  std::lock_guard lock(lock_);
  taps_ = 0;
  changed_.notify_all();
}

uint8_t TTapCounter::Taps() const {
  std::lock_guard lock(lock_);
  return taps_;
}

void TTapCounter::WaitBurstEnd(std::stop_token stop) {
  std::unique_lock lock(lock_);
  while (taps_ != 0 && !stop.stop_requested()) {
    if (ExpireLocked(now_())) return;
    const auto left = window_ - (now_() - burstStart_);
    const uint64_t burst = burst_;
    // Wakes when the counter is cleared or a new burst began; otherwise the window is
    // checked again once it should have passed.
    changed_.wait_for(lock, stop, left + std::chrono::milliseconds(1),
                      [&] { return taps_ == 0 || burst_ != burst; });
  }
}

bool TTapCounter::WaitCleared(std::chrono::milliseconds limit) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, limit, [&] { return taps_ == 0; });
}

}  // namespace zent
