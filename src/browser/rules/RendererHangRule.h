// When a page's renderer counts as hung. The window sends the page a cheap probe every tick
// and reports each answer; a renderer that leaves probes unanswered for kHangAfter (a script
// loop such as `while(true){}`) is ended once, so the crash recovery reloads the page. Not a
// hang: an open script dialog (the renderer waits on us), a page that answers however busy
// it is, and the time our own loop stood still (the answer may be queued behind it). A load
// in progress gets a longer limit: a new renderer process may still be starting on a loaded
// till, and a probe sent to a document being replaced can be lost.
#pragma once

#include <chrono>
#include <optional>

namespace zent {

class TRendererHangRule {
 public:
  using Clock = std::chrono::steady_clock;
  // Every two seconds: each probe wakes the window's thread and the engine's I/O thread a few
  // times, which an idle till should not pay more often; a loop is still found within 8-10 s.
  static constexpr std::chrono::milliseconds kTick{2000};
  static constexpr std::chrono::milliseconds kHangAfter{8000};
  static constexpr std::chrono::milliseconds kHangAfterWhileLoading{12000};
  // A tick this much later than the one before means our own loop stood still.
  static constexpr std::chrono::milliseconds kLoopStall{kTick + std::chrono::milliseconds{2000}};

  struct TPage {
    bool rendererRunning = true;  // the page has a live renderer process
    bool dialogOpen = false;      // a script dialog is in front of the person
    bool loading = false;         // a main-frame load is in progress
  };

  enum class TAction {
    Wait,         // nothing to do
    Probe,        // send a probe now
    EndRenderer,  // the renderer is hung: end it (once; the rule waits for OnRendererGone)
  };

  TAction OnTick(Clock::time_point now, TPage page);
  // A probe was answered: the renderer's main thread turned.
  void OnAnswer();
  // A main-frame load started: probes to the document it replaces may never be answered.
  void OnNavigation();
  // The renderer ended or was replaced: everything starts again.
  void OnRendererGone();

  // How long the oldest unanswered probe has waited at `now` (zero when none waits).
  std::chrono::milliseconds Unanswered(Clock::time_point now) const;

 private:
  std::optional<Clock::time_point> firstUnanswered_;  // oldest probe not answered since the last answer
  std::optional<Clock::time_point> lastTick_;
  bool ended_ = false;
};

}  // namespace zent
