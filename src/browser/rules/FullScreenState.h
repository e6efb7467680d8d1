// The window's full-screen decisions: the secondary-screen window never changes, and a
// request for the state the window is already in does nothing.
#pragma once

namespace zent {

enum class FullScreenChange { None, Enter, Leave };

class TFullScreenState {
 public:
  TFullScreenState(bool isSubMonitor, bool isFullScreen)
      : isSubMonitor_(isSubMonitor), isFullScreen_(isFullScreen) {}

  FullScreenChange On() const;
  FullScreenChange Off() const;
  FullScreenChange Switch() const { return isFullScreen_ ? Off() : On(); }

  bool IsFullScreen() const { return isFullScreen_; }
  void Set(bool fullScreen) { isFullScreen_ = fullScreen; }

 private:
  bool isSubMonitor_;
  bool isFullScreen_;
};

}  // namespace zent
