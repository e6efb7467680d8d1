// Test support: a loopback port that never completes a connection. Its listener's accept
// queue is full, so the system drops further connection requests unanswered and a client
// waits in its connect phase until its own time-out: what a server behind a firewall that
// drops packets looks like. Include as "support/StalledPort.h" (its sockets:
// support/TestSockets.h).
#pragma once

#include <cstdint>
#include <vector>

#include "support/TestSockets.h"

namespace zent::testing {

class StalledPort {
 public:
  StalledPort() {
    listener_ = OpenTcpSocket();
    const uint16_t bound =
        listener_ == kNoSocket ? 0 : BindAndListen(listener_, "127.0.0.1", 0, 0, false);
    if (bound == 0) return;
    // Connections that are never accepted fill the queue (a backlog of 0 still takes one).
    for (int i = 0; i < 4; ++i) {
      const TestSocket c = OpenTcpSocket(true);
      StartConnect(c, "127.0.0.1", bound);
      fillers_.push_back(c);
    }
    port = bound;
  }
  ~StalledPort() {
    for (TestSocket c : fillers_) CloseSocket(c);
    CloseSocket(listener_);
  }
  StalledPort(const StalledPort&) = delete;
  StalledPort& operator=(const StalledPort&) = delete;

  uint16_t port = 0;  // 0 when the listener could not be set up

 private:
  TestSocket listener_ = kNoSocket;
  std::vector<TestSocket> fillers_;
};

}  // namespace zent::testing
