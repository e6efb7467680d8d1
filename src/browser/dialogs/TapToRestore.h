// The way back to a minimised browser in the kiosk session, which has no panel or task list
// to restore it from: while armed, an input-only window over the browser's screen takes the
// next tap on the (otherwise empty) screen and runs the restore action. Other monitors (the
// secondary screen's) stay untouched. Without X11 it does nothing.
#pragma once

#include <QObject>
#include <QRect>
#include <functional>
#include <memory>

namespace zent {

class X11InputWindow;

inline constexpr const char* kTapToRestoreCaption = "Lumo7Browser:TapToRestore";

class TapToRestore : public QObject {
  Q_OBJECT
 public:
  // `restore` runs on the window's thread after the tap, once the catcher is gone.
  TapToRestore(std::function<void()> restore, bool hidePointer);
  ~TapToRestore() override;

  // Puts the catcher over `screen` (the toolkit's coordinates), above every other window.
  void Arm(const QRect& screen);
  void Disarm();
  bool IsArmed() const;

 private:
  void OnTap();

  std::function<void()> restore_;
  bool hidePointer_;
  std::unique_ptr<X11InputWindow> window_;
};

}  // namespace zent
