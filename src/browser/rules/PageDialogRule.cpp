#include "browser/rules/PageDialogRule.h"

namespace zent {

TPageDialogGate::TVerdict TPageDialogGate::OnDialog(Clock::time_point now) {
  if (suppressing_) return TVerdict::Suppress;
  while (!recent_.empty() && now - recent_.front() >= kWindow) recent_.pop_front();
  if (recent_.size() >= kAllowedDialogs) {
    suppressing_ = true;
    recent_.clear();
    return TVerdict::SuppressFirst;
  }
  recent_.push_back(now);
  return TVerdict::Allow;
}

void TPageDialogGate::OnDialogAnswered(Clock::time_point now) {
  if (!recent_.empty() && recent_.back() < now) recent_.back() = now;
}

void TPageDialogGate::OnNewPageLoad() {
  recent_.clear();
  suppressing_ = false;
}

}  // namespace zent
