// An HTTP server for tests on 127.0.0.1 (any free port) whose listening loop is known to run
// before the constructor returns, so stopping it always ends the loop: cpp-httplib's stop()
// does nothing before the loop started, and joining its thread then waits for ever.
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace zent::testing {

class HttpTestServer {
 public:
  // Routes are added through `server()` before Start().
  HttpTestServer() = default;
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  httplib::Server& server() { return server_; }
  // Binds, starts the loop and waits until it runs (a loop that does not start within 10 s
  // aborts the test program); the port, or 0 when binding failed.
  int Start();
  int Port() const { return port_; }

 private:
  void Stop();

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace zent::testing
