// Windows has no network namespaces (and under Wine the sockets are made by the wineserver,
// which stays in the namespace it was started in): there is no far side to run on.
#include "support/NetNamespace.h"

namespace zent::testing {

bool RunInPeerNetns(const std::function<void()>&) { return false; }

}  // namespace zent::testing
