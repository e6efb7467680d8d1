// The stand-in's port on Linux: a plain blocking socket.
#include "LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace zent::devicemgr {

bool ServeLoopbackPort(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0) {
    std::perror("DeviceManager: port");
    return false;
  }
  for (;;) {
    const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c >= 0) ::close(c);
  }
}

void WaitForever() {
  for (;;) ::pause();
}

}  // namespace zent::devicemgr
