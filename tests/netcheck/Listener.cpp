#include "Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zent::testing {

bool Listener::Open(uint16_t port) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  const int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port ? port : port_);
  ::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
  socklen_t size = sizeof sa;
  // A large backlog: the checks connect every pass and nothing accepts.
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd_, SOMAXCONN) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
    Close();
    return false;
  }
  port_ = ntohs(sa.sin_port);
  return true;
}

void Listener::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace zent::testing
