// The system's millisecond tick: one clock for every process, so a tick sent by one
// process can be compared with the receiver's own (32-bit wrap-around like GetTickCount).
#pragma once

#include <cstdint>

namespace zent::platform {

// Monotonic milliseconds since an unspecified start (the same start in every process).
int64_t MonotonicMs() noexcept;
// The same, cut to 32 bits.
uint32_t TickCount() noexcept;

}  // namespace zent::platform
