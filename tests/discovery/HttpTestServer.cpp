#include "HttpTestServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace zent::testing {

HttpTestServer::~HttpTestServer() { Stop(); }

int HttpTestServer::Start() {
  const int port = server_.bind_to_any_port("127.0.0.1");
  if (port <= 0) return 0;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // This library version offers no ready notice, only the running flag; a short bounded poll
  // is the only way to see the loop start.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_.is_running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      // stop() cannot end a loop that has not started, so joining could wait for ever: fail
      // loudly instead of hanging the test.
      std::fprintf(stderr, "HttpTestServer: the listening loop did not start within 10 s\n");
      std::abort();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  port_ = port;
  return port_;
}

void HttpTestServer::Stop() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace zent::testing
