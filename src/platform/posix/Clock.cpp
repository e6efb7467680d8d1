// POSIX: CLOCK_MONOTONIC is one clock for every process of the machine.
#include "platform/Clock.h"

#include <time.h>

namespace zent::platform {

int64_t MonotonicMs() noexcept {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

uint32_t TickCount() noexcept { return static_cast<uint32_t>(static_cast<uint64_t>(MonotonicMs())); }

}  // namespace zent::platform
