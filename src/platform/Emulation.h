// Whether the program runs under a compatibility layer (Wine) rather than the system it was
// built for. Only tests ask: a case whose behaviour the layer does not reproduce (hardware
// adapter flags, ICMP without privileges) is skipped with the reason instead of failing.
// Contract: nothing throws; always false on POSIX.
#pragma once

namespace zent::platform {

bool RunningUnderWine() noexcept;

}  // namespace zent::platform
