// The clock the file logs read: the system clock, replaceable by tests so that time
// stamps, file periods, repeat intervals and the folder retention can be checked exactly.
#pragma once

#include <chrono>

namespace zent {

using LogTime = std::chrono::system_clock::time_point;
using LogClockFn = LogTime (*)();

// The current time as the logs see it.
LogTime LogNow() noexcept;

// Replaces the logs' clock; nullptr restores the system clock. For tests.
void SetLogClock(LogClockFn clock) noexcept;

}  // namespace zent
