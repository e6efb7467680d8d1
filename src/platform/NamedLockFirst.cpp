#include "platform/NamedLock.h"

namespace zent::platform {

std::error_code HoldAndTellIfHeld(NamedLock& lock, bool& heldBefore) {
  NamedLock startGuard(lock.Name() + ".start");
  // A guard that cannot be had in time (a starter stuck while holding it) leaves the plain,
  // racy look: a second first holder is better than no start at all.
  const bool guarded = !startGuard.Lock(kFirstHolderWaitMs);
  heldBefore = NamedLock::Exists(lock.Name());
  const std::error_code ec = lock.Hold();
  if (guarded) startGuard.Unlock();
  return ec;
}

}  // namespace zent::platform
