// Test support: an HTTP server on 127.0.0.1 (any free port) whose listening loop is known to
// run before Start() returns, so stopping it always ends the loop: cpp-httplib's stop() does
// nothing before the loop started, and joining its thread then waits for ever.
// Header-only; include as "support/HttpTestServer.h".
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace zent::testing {

class HttpTestServer {
 public:
  // Routes are added through `server()`, before Start() where the test allows it.
  HttpTestServer() = default;
  ~HttpTestServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  httplib::Server& server() { return server_; }

  // Binds, starts the loop and waits until it runs (a loop that does not start within 10 s
  // aborts the test program); the port, or 0 when binding failed.
  int Start() {
    const int port = server_.bind_to_any_port("127.0.0.1");
    if (port <= 0) return 0;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // This library version offers no ready notice, only the running flag; a short bounded
    // poll is the only way to see the loop start.
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
  int Port() const { return port_; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace zent::testing
