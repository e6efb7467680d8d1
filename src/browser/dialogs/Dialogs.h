// The windows around the main window, owned here instead of living as process-wide
// singletons: the floating restore button and the Alt+F12 hot key (main instance only), the
// debug window (debug mode only, created once the browser exists), the server address
// dialog, the tap that brings a minimised browser back in the kiosk session and the hidden
// pointer. They go with the main window, while the toolkit still runs.
#pragma once

#include <QPoint>
#include <functional>
#include <memory>
#include <string>

#include "browser/rules/KioskOptions.h"

class QRect;
class QWebEnginePage;
class QWidget;

namespace zent {

class CommandLine;
class DebugWindow;
class FloatButton;
class HiddenPointer;
class TapToRestore;
class TUserPrompts;

class Dialogs {
 public:
  // `mainInstance`: the floating button and the hot key exist; `restore` runs after the
  // button's fourth tap (once its notice, asked through `prompts`, is closed).
  // `kiosk`: the hidden pointer (every instance) and the tap back (main instance, kiosk session).
  Dialogs(QWidget* window, bool mainInstance, TUserPrompts& prompts, std::function<void()> restore,
          const TKioskOptions& kiosk = {});
  ~Dialogs();
  Dialogs(const Dialogs&) = delete;
  Dialogs& operator=(const Dialogs&) = delete;

  // Creates the debug window, hidden, for `page` when `debugMode` is on and there is none yet.
  void CreateDebugWindow(QWebEnginePage* page, bool debugMode);
  // Shows the debug window in front when it exists: Alt+F12, the status-bar image and the
  // secondary screen's debug request all end here.
  void ShowDebugWindow();
  DebugWindow* Debug() const { return debugWindow_.get(); }

  // The floating button, or nullptr (the secondary screen has none).
  FloatButton* Float() const { return floatButton_.get(); }
  // Puts the button at the browser area's top-left corner `browserOrigin` (on the screen).
  void PlaceFloatButton(const QPoint& browserOrigin);
  void ShowFloatButton();
  void HideFloatButton();

  // Kiosk session, main instance: while the window is minimised a tap on `screen` runs
  // `restore` (set once, before the first Arm). Elsewhere these do nothing.
  void SetTapRestoreAction(std::function<void()> restore);
  void ArmTapToRestore(const QRect& screen);
  void DisarmTapToRestore();
  bool TapToRestoreArmed() const;

  // The server address dialog over the window. On OK `host` and `fix` hold the choice and
  // the dialog's two machine options are stored; false on Cancel. May throw when the
  // configuration folder is unavailable.
  bool AskServerAddress(const CommandLine& commandLine, std::string& host, bool& fix);

 private:
  QWidget* window_;
  std::unique_ptr<FloatButton> floatButton_;
  std::unique_ptr<DebugWindow> debugWindow_;
  std::unique_ptr<HiddenPointer> hiddenPointer_;
  std::unique_ptr<TapToRestore> tapToRestore_;
  std::function<void()> tapRestore_;
  bool hidePointer_ = false;
};

}  // namespace zent
