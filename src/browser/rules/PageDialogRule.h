// How many script dialogs (alert, confirm, prompt) a page may put in front of the person. A
// page that opens them in a loop would otherwise hold the till: once a page load has had
// kAllowedDialogs dialogs within kWindow, its further dialogs are suppressed until the next
// page load. A dialog counts from the time it was answered, so a person slow to answer is
// still freed.
#pragma once

#include <chrono>
#include <deque>

namespace zent {

class TPageDialogGate {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kAllowedDialogs = 3;
  static constexpr std::chrono::seconds kWindow{10};

  // SuppressFirst: the first suppressed dialog of this page load (log it); Suppress: later ones.
  enum class TVerdict { Allow, SuppressFirst, Suppress };

  // The page asks for a dialog at `now`. An allowed dialog counts from `now` until
  // OnDialogAnswered moves it to the time it was answered.
  TVerdict OnDialog(Clock::time_point now);
  void OnDialogAnswered(Clock::time_point now);
  // A new main-frame load: the count starts again.
  void OnNewPageLoad();

 private:
  std::deque<Clock::time_point> recent_;  // the last dialogs allowed, oldest first
  bool suppressing_ = false;
};

}  // namespace zent
