// Calendar time in the machine's local time zone.
// Contract: nothing throws; a time the system cannot convert comes back as false.
#pragma once

#include <cstdint>
#include <ctime>

namespace zent::platform {

// Seconds since the Unix epoch to the local broken-down time (tm_year since 1900 etc.).
bool ToLocalTime(int64_t unixSeconds, std::tm& out) noexcept;

}  // namespace zent::platform
