// A TCP endpoint for the checks to reach: a listening socket on an IPv4 address that the
// test opens and closes. Connections complete in the system's backlog; none is accepted.
#pragma once

#include <cstdint>
#include <string>

namespace zent::testing {

class Listener {
 public:
  explicit Listener(std::string address = "127.0.0.1") : address_(std::move(address)) {}
  ~Listener() { Close(); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Listens on `port` (0: a free one); false when that failed. Reopening after Close keeps
  // the port.
  bool Open(uint16_t port = 0);
  void Close();
  uint16_t Port() const { return port_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  uint16_t port_ = 0;
  int fd_ = -1;
};

}  // namespace zent::testing
