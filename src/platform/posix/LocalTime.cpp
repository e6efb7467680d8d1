// POSIX: localtime_r, which reads the zone from TZ or /etc/localtime.
#include "platform/LocalTime.h"

namespace zent::platform {

bool ToLocalTime(int64_t unixSeconds, std::tm& out) noexcept {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  return ::localtime_r(&t, &out) != nullptr;
}

}  // namespace zent::platform
