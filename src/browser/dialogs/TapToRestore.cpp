#include "browser/dialogs/TapToRestore.h"

#include "browser/dialogs/X11InputWindow.h"
#include "common/FileLog.h"

namespace zent {

TapToRestore::TapToRestore(std::function<void()> restore, bool hidePointer)
    : restore_(std::move(restore)), hidePointer_(hidePointer) {}

TapToRestore::~TapToRestore() = default;

void TapToRestore::Arm(const QRect& screen) {
  if (!window_) {
    window_ = X11InputWindow::Create(screen, kTapToRestoreCaption);
    if (!window_) {
      AppLog().Log(2, "TapToRestore: no X11 input window; the minimised browser cannot be tapped back");
      return;
    }
    if (hidePointer_) window_->HidePointer();
    // Handled after the event that brought it, not inside the event filter.
    window_->onButtonRelease = [this](int) {
      QMetaObject::invokeMethod(this, &TapToRestore::OnTap, Qt::QueuedConnection);
    };
  } else if (window_->Geometry() != screen) {
    window_->SetGeometry(screen);
  }
  if (!window_->IsMapped()) {
    window_->Map();
    AppLog().LogFmt(0, "TapToRestore: armed over %d,%d %dx%d", screen.x(), screen.y(), screen.width(),
                    screen.height());
  }
}

void TapToRestore::Disarm() {
  if (window_ && window_->IsMapped()) window_->Unmap();
}

bool TapToRestore::IsArmed() const { return window_ && window_->IsMapped(); }

void TapToRestore::OnTap() {
  if (!IsArmed()) return;  // restored meanwhile by other means
  Disarm();
  AppLog().Log(0, "TapToRestore: tap, browser restored");
  if (restore_) restore_();
}

}  // namespace zent
