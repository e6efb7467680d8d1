// The player's window on the desktop: found by the process that owns it, and taken off the
// taskbar. An interface so the player's control can be tested without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace zent {

class TPlayerWindows {
 public:
  virtual ~TPlayerWindows() = default;
  // The first shown top-level window of process `pid`; nullopt when it has none (yet).
  virtual std::optional<uint32_t> FindShownWindow(uint32_t pid) = 0;
  // Asks the window manager to leave the window off the taskbar; false when it cannot.
  virtual bool SkipTaskbar(uint32_t window) = 0;
};

// The desktop's windows (platform::DesktopWindows). With no display reachable, every window
// look finds nothing.
std::unique_ptr<TPlayerWindows> MakeDesktopPlayerWindows();

}  // namespace zent
