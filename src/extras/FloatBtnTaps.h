// The process-wide tap state of the floating restore button: one tap counter and its watcher
// thread. The module's initialisation starts the watcher; its finalisation stops and frees
// it. The window side (TfrmFloatButton) only calls CountTap and RestartTapWatch.
#pragma once

#include "extras/TapCounter.h"

namespace zent {

// Starts the watcher (once; later calls do nothing).
void InitializeFloatBtnTaps();
// Asks the watcher to end, wakes it and waits for it.
void FinalizeFloatBtnTaps();

// The module's counter.
TTapCounter& FloatBtnTapCounter();
// One tap: true when it completes a burst (the counter is then 0).
bool CountTap();
void ResetTaps();
// Wakes the watcher so that it clears the burst when its window has passed; does nothing
// before initialisation or after finalisation.
void RestartTapWatch();

// Initialisation and finalisation tied to a scope (the program's run).
class FloatBtnTapsScope {
 public:
  FloatBtnTapsScope() { InitializeFloatBtnTaps(); }
  ~FloatBtnTapsScope() { FinalizeFloatBtnTaps(); }
  FloatBtnTapsScope(const FloatBtnTapsScope&) = delete;
  FloatBtnTapsScope& operator=(const FloatBtnTapsScope&) = delete;
};

}  // namespace zent
