#include "browser/window/WindowState.h"

#include <QEvent>
#include <QWidget>

namespace zent {
namespace {

// Redrawing held for the duration of a window change, released whatever happens.
class UpdatesHold {
 public:
  explicit UpdatesHold(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
  ~UpdatesHold() { widget_->setUpdatesEnabled(true); }
  UpdatesHold(const UpdatesHold&) = delete;
  UpdatesHold& operator=(const UpdatesHold&) = delete;

 private:
  QWidget* widget_;
};

}  // namespace

WindowState::WindowState(QWidget* window, QWidget* statusBar, bool fixed, bool initiallyFullScreen)
    : QObject(window), window_(window), statusBar_(statusBar), state_(fixed, initiallyFullScreen) {
  if (!fixed) window_->installEventFilter(this);
}

void WindowState::FullScreenOn() {
  if (state_.On() == FullScreenChange::None) return;
  UpdatesHold hold(window_);
  state_.Set(true);
  statusBar_->hide();
  window_->setWindowState((window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
                          Qt::WindowFullScreen);
}

void WindowState::FullScreenOff() {
  if (state_.Off() == FullScreenChange::None) return;
  UpdatesHold hold(window_);
  state_.Set(false);
  if (window_->windowFlags() & Qt::WindowStaysOnTopHint) {
    // Changing a window flag hides the window; it comes back below.
    const bool visible = window_->isVisible();
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (visible) window_->show();
  }
  window_->setWindowState((window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowFullScreen)) |
                          Qt::WindowMaximized);
  statusBar_->show();
}

void WindowState::SwitchFullScreen() {
  if (state_.IsFullScreen()) {
    FullScreenOff();
  } else {
    FullScreenOn();
  }
}

void WindowState::FollowPage(bool fullScreen) {
  state_.Set(!fullScreen);
  SwitchFullScreen();
}

void WindowState::Maximize() {
  if (state_.IsFullScreen() || !window_->windowHandle()) return;
  // The toolkit replaces the native window when the browser view first shows, and skips a
  // state it believes is already set: clear it first so the window manager hears it again.
  if (window_->windowState() & Qt::WindowMaximized) {
    window_->setWindowState(window_->windowState() & ~Qt::WindowMaximized);
  }
  window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

void WindowState::RestoreFullScreen() {
  // The secondary screen's window changes neither way.
  if (state_.On() == FullScreenChange::None && state_.Off() == FullScreenChange::None) return;
  state_.Set(true);
  statusBar_->hide();
  window_->setWindowState((window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
                          Qt::WindowFullScreen | Qt::WindowActive);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

// Full screen entered before the native window was replaced (run option at show) is told to
// the window manager again, or a kiosk started without a server stays a small window.
void WindowState::ReassertFullScreen() {
  if (!state_.IsFullScreen() || !window_->windowHandle()) return;
  window_->setWindowState(window_->windowState() & ~Qt::WindowFullScreen);
  window_->setWindowState((window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
                          Qt::WindowFullScreen);
}

bool WindowState::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::WindowStateChange) {
    const bool minimized = window_->windowState() & Qt::WindowMinimized;
    if (minimized != minimized_) {
      minimized_ = minimized;
      emit minimizedChanged(minimized);
    }
  }
  if (watched == window_ && event->type() == QEvent::WinIdChange) {
    if (state_.IsFullScreen()) {
      QMetaObject::invokeMethod(this, &WindowState::ReassertFullScreen, Qt::QueuedConnection);
    } else if (window_->windowState() & Qt::WindowMaximized) {
      QMetaObject::invokeMethod(this, &WindowState::Maximize, Qt::QueuedConnection);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zent
