// When to reload the page after its renderer process died. A renderer that keeps dying
// must never drive a reload loop: at most three reloads in any minute, and beyond the first
// three in a row each reload waits a pause that doubles up to 30 seconds. One reload is
// planned at a time, and a load of the page that starts before its time comes (a retry of the
// load the dead renderer broke, the server connection's own) brings a new renderer itself, so
// the planned one is then left out.
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
  // Plans the reload; asked only while none is planned.
  std::chrono::milliseconds OnCrash(Clock::time_point now);

  // A reload is planned and no load of the page has started since.
  bool ReloadPlanned() const { return planned_ && !overtaken_; }
  // A main-frame load of the page started.
  void OnLoadStarted() { overtaken_ = planned_; }
  // The planned reload's time came: true when the page should be loaded now.
  bool TakePlannedReload();

 private:
  bool planned_ = false;
  bool overtaken_ = false;                 // a load started after the reload was planned
  std::deque<Clock::time_point> reloads_;  // planned reload times, oldest first
  std::chrono::milliseconds pause_{0};     // the last pause used; 0 while reloads are free
};

}  // namespace zent
