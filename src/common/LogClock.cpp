#include "common/LogClock.h"

#include <atomic>

namespace zent {
namespace {
std::atomic<LogClockFn> gClock{nullptr};
}  // namespace

LogTime LogNow() noexcept {
  const LogClockFn clock = gClock.load(std::memory_order_acquire);
  return clock ? clock() : std::chrono::system_clock::now();
}

void SetLogClock(LogClockFn clock) noexcept { gClock.store(clock, std::memory_order_release); }

}  // namespace zent
