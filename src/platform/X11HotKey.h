// A key held for the whole X desktop: the key is grabbed on the root window with exactly the
// Alt modifier, so it reaches us whichever window has the focus. Caps Lock and Num Lock do
// not matter (every combination with them is grabbed); other modifiers make no match.
// Contract: the caller owns the connection (the toolkit's); nothing throws; a grab another
// client holds comes back as nullopt with nothing left grabbed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/X11Input.h"

namespace zent::platform {

inline constexpr uint32_t kKeysymF12 = 0xffc9;

struct X11KeyGrab {
  uint32_t root = 0;
  uint8_t keycode = 0;
  uint16_t altMask = 0;
  uint16_t ignoredMask = 0;        // Caps Lock and Num Lock
  std::vector<uint16_t> grabbed;   // the modifier sets held
};

// Grabs Alt+`keysym` on `root`; nullopt when the keyboard has no such key or the server
// refused one of the grabs.
std::optional<X11KeyGrab> GrabAltKey(xcb_connection_t* connection, uint32_t root, uint32_t keysym);
void ReleaseAltKey(xcb_connection_t* connection, const X11KeyGrab& grab);

enum class X11KeyMatch {
  Other,    // not the grabbed key: leave the event to others
  Swallow,  // the grabbed key, but no press with exactly Alt
  Pressed,  // Alt+key pressed
};
// What `event` (an xcb_generic_event_t from the toolkit's native event filter) is to `grab`.
X11KeyMatch MatchAltKey(const X11KeyGrab& grab, const void* event);

}  // namespace zent::platform
