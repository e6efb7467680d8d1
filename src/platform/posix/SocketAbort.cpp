#include "platform/SocketAbort.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zent::platform {

SocketAbort::~SocketAbort() {
  if (own_ >= 0) ::close(own_);
}

void SocketAbort::Track(NativeSocket socket) noexcept {
  std::lock_guard lock(mutex_);
  if (own_ >= 0) ::close(own_);
  // A second descriptor of the same socket: shutting it down reaches the requester's one
  // (shutdown acts on the socket, not on the descriptor), and the number stays ours.
  own_ = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
  if (aborted_ && own_ >= 0) ::shutdown(own_, SHUT_RDWR);
}

void SocketAbort::Abort() noexcept {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  // Linux also ends a connection still being set up (its SYN unanswered): the waiting
  // connect sees the socket reset at once.
  if (own_ >= 0) ::shutdown(own_, SHUT_RDWR);
}

bool SocketAbort::Aborted() const noexcept {
  std::lock_guard lock(mutex_);
  return aborted_;
}

}  // namespace zent::platform
