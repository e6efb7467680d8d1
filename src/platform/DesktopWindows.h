// The top-level windows of other programs on the desktop: finding the shown window of a
// process and asking the window manager to leave a window off the taskbar.
// X11 today (the display of $DISPLAY, _NET_WM_PID and _NET_WM_STATE_SKIP_TASKBAR).
// Contract: nothing throws; with no desktop reachable every look finds nothing and every
// request fails. One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace zent::platform {

class DesktopWindows {
 public:
  // Connects to the desktop; a failure shows only in the answers.
  DesktopWindows();
  ~DesktopWindows();
  DesktopWindows(const DesktopWindows&) = delete;
  DesktopWindows& operator=(const DesktopWindows&) = delete;

  // The first shown (mapped) top-level window of process `pid`; nullopt when it has none yet.
  std::optional<uint32_t> FindShownWindow(uint32_t pid);
  // Asks the window manager to keep `window` off the taskbar; false when the request could
  // not be made.
  bool SkipTaskbar(uint32_t window);

 private:
  class Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace zent::platform
