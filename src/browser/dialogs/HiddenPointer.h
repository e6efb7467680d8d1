// The hidden pointer of a till whose screen is only touched: while the object lives, no
// pointer shows over any window of this process (the toolkit's override cursor covers the
// main window, its boxes and dialogs, and the secondary screen's window in that process);
// with `overRoot` the empty root window shows none either (the kiosk session, where nothing
// else draws the desktop). Input-only windows hide it themselves (X11InputWindow::HidePointer).
#pragma once

namespace zent {

class HiddenPointer {
 public:
  explicit HiddenPointer(bool overRoot);
  ~HiddenPointer();
  HiddenPointer(const HiddenPointer&) = delete;
  HiddenPointer& operator=(const HiddenPointer&) = delete;
};

}  // namespace zent
