#include "browser/rules/RendererHangRule.h"

namespace zent {

TRendererHangRule::TAction TRendererHangRule::OnTick(Clock::time_point now, TPage page) {
  const bool loopStood = lastTick_ && now - *lastTick_ > kLoopStall;
  lastTick_ = now;
  if (ended_) return TAction::Wait;
  if (!page.rendererRunning) {
    firstUnanswered_.reset();
    return TAction::Wait;
  }
  // The renderer waits for the dialog's answer; a loop that stood still may hold answers
  // not delivered yet. Neither tells anything about the page.
  if (page.dialogOpen) {
    firstUnanswered_.reset();
    return TAction::Wait;
  }
  if (loopStood) firstUnanswered_.reset();
  if (firstUnanswered_) {
    const auto limit = page.loading ? kHangAfterWhileLoading : kHangAfter;
    if (now - *firstUnanswered_ >= limit) {
      ended_ = true;
      return TAction::EndRenderer;
    }
  } else {
    firstUnanswered_ = now;
  }
  return TAction::Probe;
}

void TRendererHangRule::OnAnswer() { firstUnanswered_.reset(); }

void TRendererHangRule::OnNavigation() { firstUnanswered_.reset(); }

void TRendererHangRule::OnRendererGone() {
  firstUnanswered_.reset();
  ended_ = false;
}

std::chrono::milliseconds TRendererHangRule::Unanswered(Clock::time_point now) const {
  if (!firstUnanswered_) return std::chrono::milliseconds{0};
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - *firstUnanswered_);
}

}  // namespace zent
