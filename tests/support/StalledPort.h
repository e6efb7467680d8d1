// Test support: a loopback port that never completes a connection. Its listener's accept
// queue is full, so the system drops further connection requests unanswered and a client
// waits in its connect phase until its own time-out: what a server behind a firewall that
// drops packets looks like. Header-only; include as "support/StalledPort.h".
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace zent::testing {

class StalledPort {
 public:
  StalledPort() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
      return;
    }
    // Connections that are never accepted fill the queue (a backlog of 0 still takes one).
    for (int i = 0; i < 4; ++i) {
      const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      ::connect(c, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
      fillers_.push_back(c);
    }
    port = ntohs(sa.sin_port);
  }
  ~StalledPort() {
    for (int c : fillers_) ::close(c);
    if (listener_ >= 0) ::close(listener_);
  }
  StalledPort(const StalledPort&) = delete;
  StalledPort& operator=(const StalledPort&) = delete;

  uint16_t port = 0;  // 0 when the listener could not be set up

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
};

}  // namespace zent::testing
