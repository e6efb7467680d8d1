// Test support: a TCP endpoint that listens and never accepts, on an IPv4 address (loopback
// by default). Connections complete in the system's backlog and are never answered: a probe
// sees the port open, a client waiting for an answer waits until its own time-out.
// The test opens and closes it; reopening after Close keeps the port. Header-only; include
// as "support/LoopbackListener.h".
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>

namespace zent::testing {

class LoopbackListener {
 public:
  explicit LoopbackListener(std::string address = "127.0.0.1") : address_(std::move(address)) {}
  ~LoopbackListener() { Close(); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  // Listens on `port` (0: the port of an earlier Open, else a free one); false on failure.
  bool Open(uint16_t port = 0) {
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
    // A large backlog: callers may connect many times and nothing accepts.
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd_, SOMAXCONN) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
      Close();
      return false;
    }
    port_ = ntohs(sa.sin_port);
    return true;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  uint16_t Port() const { return port_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  uint16_t port_ = 0;
  int fd_ = -1;
};

}  // namespace zent::testing
