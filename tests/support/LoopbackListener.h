// Test support: a TCP endpoint that listens and never accepts, on an IPv4 address (loopback
// by default). Connections complete in the system's backlog and are never answered: a probe
// sees the port open, a client waiting for an answer waits until its own time-out.
// The test opens and closes it; reopening after Close keeps the port. Include as
// "support/LoopbackListener.h" (its sockets: support/TestSockets.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "support/TestSockets.h"

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
    socket_ = OpenTcpSocket();
    if (socket_ == kNoSocket) return false;
    // A large backlog: callers may connect many times and nothing accepts.
    const uint16_t bound = BindAndListen(socket_, address_, port ? port : port_, kLargestBacklog, true);
    if (bound == 0) {
      Close();
      return false;
    }
    port_ = bound;
    return true;
  }
  void Close() {
    CloseSocket(socket_);
    socket_ = kNoSocket;
  }
  uint16_t Port() const { return port_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  uint16_t port_ = 0;
  TestSocket socket_ = kNoSocket;
};

}  // namespace zent::testing
