// The main window's state on screen: full screen on and off (the status bar hides with it),
// maximised otherwise, and both told to the window manager again when the toolkit replaces
// the native window (the browser view's first showing does), which would otherwise leave
// a kiosk as a small window. The secondary screen never changes its state. It reports the
// window's minimising and its return, whoever caused them (page, window manager).
#pragma once

#include <QObject>

#include "browser/rules/FullScreenState.h"

class QWidget;

namespace zent {

class WindowState : public QObject {
  Q_OBJECT
 public:
  // `window` is watched for a replaced native window unless `fixed` (the secondary screen).
  // `initiallyFullScreen`: the secondary screen counts as full screen from the start.
  WindowState(QWidget* window, QWidget* statusBar, bool fixed, bool initiallyFullScreen);

  void FullScreenOn();
  void FullScreenOff();
  void SwitchFullScreen();
  // The page asked for full screen on or off: the window follows whatever its own state was.
  void FollowPage(bool fullScreen);
  bool IsFullScreen() const { return state_.IsFullScreen(); }
  // Maximised unless full screen; said again even when the toolkit believes it is set.
  void Maximize();
  // Back from minimised, full screen and in front, whatever the state was before.
  void RestoreFullScreen();

 signals:
  void minimizedChanged(bool minimized);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReassertFullScreen();

  QWidget* window_;
  QWidget* statusBar_;
  TFullScreenState state_;
  bool minimized_ = false;
};

}  // namespace zent
