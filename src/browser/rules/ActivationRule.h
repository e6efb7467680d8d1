// Whether an activation notice from a second start of our role is fresh enough to act on.
#pragma once

#include <cstdint>

namespace zent {

// The notice carries the sender's tick (wParam) and the marker 2 (lParam). Only a notice that
// arrives within 500 ms of being sent brings the window to the front; a late one would
// surprise the operator long after the second start gave up.
bool AcceptActivateNotice(uint32_t wParam, uint32_t lParam, uint32_t nowTick);

}  // namespace zent

namespace zent {

// The message number of the activation notice among the notices a role's processes exchange.
inline constexpr uint32_t kActivateMessage = 0xC001;

}  // namespace zent
