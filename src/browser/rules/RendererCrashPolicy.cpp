#include "browser/rules/RendererCrashPolicy.h"

#include <algorithm>

namespace zent {

std::chrono::milliseconds TRendererCrashPolicy::OnCrash(Clock::time_point now) {
  using std::chrono::milliseconds;
  // A quiet minute since the last reload forgives everything.
  if (!reloads_.empty() && now - reloads_.back() >= kWindow) {
    reloads_.clear();
    pause_ = milliseconds{0};
  }
  while (!reloads_.empty() && now - reloads_.front() >= kWindow) reloads_.pop_front();

  milliseconds delay{0};
  if (reloads_.size() >= static_cast<size_t>(kFreeReloads) || pause_.count() > 0) {
    pause_ = pause_.count() == 0 ? kFirstPause : std::min(pause_ * 2, kMaxPause);
    delay = pause_;
    // Never more than kFreeReloads reloads inside any one window.
    if (reloads_.size() >= static_cast<size_t>(kFreeReloads)) {
      const auto oldest = reloads_[reloads_.size() - kFreeReloads];
      const auto roomAt = oldest + kWindow;
      if (roomAt > now + delay) delay = std::chrono::ceil<milliseconds>(roomAt - now);
    }
  }
  reloads_.push_back(now + delay);
  planned_ = true;
  overtaken_ = false;
  return delay;
}

bool TRendererCrashPolicy::TakePlannedReload() {
  const bool load = planned_ && !overtaken_;
  planned_ = overtaken_ = false;
  return load;
}

}  // namespace zent
