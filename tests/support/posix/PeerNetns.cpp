// Linux: the far side is entered with setns() on a thread of its own.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "support/NetNamespace.h"

namespace zent::testing {

bool RunInPeerNetns(const std::function<void()>& fn) {
  const char* peer = std::getenv("ZENT_PEER_NETNS");
  if (!InPrivateNetns() || !peer) return false;
  bool ok = false;
  std::thread([&] {
    const int fd = ::open(peer, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ok = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    if (ok) fn();
  }).join();
  return ok;
}

}  // namespace zent::testing
