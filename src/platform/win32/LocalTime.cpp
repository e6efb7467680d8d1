// Windows: the C runtime's 64-bit localtime_s, which reads the zone the system is set to.
#include "platform/LocalTime.h"

#include <time.h>

namespace zent::platform {

bool ToLocalTime(int64_t unixSeconds, std::tm& out) noexcept {
  const __time64_t t = static_cast<__time64_t>(unixSeconds);
  return ::_localtime64_s(&out, &t) == 0;
}

}  // namespace zent::platform
