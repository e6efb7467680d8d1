// Test support: the private network namespace of scripts/netns.sh, which the test run is in.
// Tests that broadcast or resolve names run only there; a test server may run on its far
// side (the peer namespace) so datagrams really cross a link. The far side is a Linux
// namespace: elsewhere (the Windows build's programs under Wine) there is none.
#pragma once

#include <functional>

namespace zent::testing {

// Whether the test process runs inside the private network namespace of scripts/netns.sh.
bool InPrivateNetns();
// Runs `fn` on a thread that has entered the far side of the namespace's veth pair (sockets
// made there stay there); false when there is no far side.
bool RunInPeerNetns(const std::function<void()>& fn);

}  // namespace zent::testing
