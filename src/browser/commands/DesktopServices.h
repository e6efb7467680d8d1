// The window's desktop services that run beside the page: the device manager (started once
// the browser exists, restarted on the page's request) and advertisement videos. Their work
// runs on worker threads owned here; the window only calls in and gets the reset's notice
// back on its own thread. Destroying this object stops a running reset at once and ends the
// video player it started.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <string>

#include "browser/dialogs/UserPrompts.h"
#include "browser/rules/ConsoleCommand.h"

namespace zent {

class TAdPlayback;
class TDeviceMgrReset;

class TDesktopServices {
 public:
  // `resetDone` runs on `window`'s thread after a successful device manager reset.
  TDesktopServices(QObject* window, std::function<void()> resetDone);
  ~TDesktopServices();
  TDesktopServices(const TDesktopServices&) = delete;
  TDesktopServices& operator=(const TDesktopServices&) = delete;

  // Starts the device manager unless it runs (once the browser exists). When it is
  // installed but cannot start, the failure is logged and shown; false then.
  bool EnsureDeviceMgrStarted(TUserPrompts& prompts);
  // A reset unless one is running.
  void StartDeviceMgrReset();
  // Plays the video of a "PlayADParam" command; `clientOrigin` is the window's client origin
  // on the screen. Failures go to the log with the command's items.
  void PlayAD(const TPageCommand& command, QPoint clientOrigin);

 private:
  QObject* window_;
  std::unique_ptr<TDeviceMgrReset> reset_;
  std::unique_ptr<TAdPlayback> FMediaPlayer;  // from the first video on
};

}  // namespace zent
