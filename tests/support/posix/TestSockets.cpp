// POSIX sockets for the test fixtures.
#include "support/TestSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zent::testing {
namespace {

sockaddr_in Address(const std::string& address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
  return sa;
}

}  // namespace

TestSocket OpenTcpSocket(bool nonBlocking) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
  return fd < 0 ? kNoSocket : fd;
}

uint16_t BindAndListen(TestSocket socket, const std::string& address, uint16_t port, int backlog,
                       bool reuse) {
  const int fd = static_cast<int>(socket);
  if (reuse) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  sockaddr_in sa = Address(address, port);
  socklen_t size = sizeof sa;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, backlog == kLargestBacklog ? SOMAXCONN : backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
    return 0;
  }
  return ntohs(sa.sin_port);
}

void StartConnect(TestSocket socket, const std::string& address, uint16_t port) {
  const sockaddr_in sa = Address(address, port);
  ::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

void CloseSocket(TestSocket socket) {
  if (socket != kNoSocket) ::close(static_cast<int>(socket));
}

}  // namespace zent::testing
