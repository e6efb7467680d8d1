// A scripted discovery server for tests: a UDP socket that, for every search request it
// receives, waits until released and then sends its prepared datagrams back to the sender,
// each from the socket chosen for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Net.h"
#include "support/NetNamespace.h"

namespace zent::testing {

class Responder {
 public:
  struct Answer {
    std::vector<uint8_t> bytes;
    int socketIndex = 0;  // which of the extra sender sockets sends it (0: the listener)
  };

  // Listens on `address`:port (0: any port); `senders` extra sockets bound to the given
  // addresses send answers with other source addresses.
  explicit Responder(uint32_t address, std::vector<uint32_t> senders = {}, uint16_t port = 0);
  ~Responder();

  uint16_t Port() const { return port_; }
  void SetAnswers(std::vector<Answer> answers);
  // Answers wait until Release(); the default answers at once.
  void HoldAnswers();
  void Release();
  // Waits until `n` requests arrived in total; false after 10 s.
  bool WaitForRequests(int n);
  int Requests();
  std::vector<uint8_t> LastRequest();

 private:
  void Run(std::stop_token st);

  std::vector<platform::UdpSocket> sockets_;
  platform::WakeEvent wake_;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Answer> answers_;
  bool hold_ = false;
  int requests_ = 0;
  std::vector<uint8_t> lastRequest_;
  std::jthread thread_;
};

}  // namespace zent::testing
