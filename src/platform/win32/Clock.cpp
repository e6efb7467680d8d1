// Windows: GetTickCount64 counts from the machine's start, the same for every process.
#include "platform/Clock.h"

#include <windows.h>

namespace zent::platform {

int64_t MonotonicMs() noexcept { return static_cast<int64_t>(::GetTickCount64()); }

uint32_t TickCount() noexcept { return static_cast<uint32_t>(::GetTickCount64()); }

}  // namespace zent::platform
