// Test support: the few socket calls the tests' stand-in servers and clients make, so the
// fixtures built on them (LoopbackListener.h, StalledPort.h) are the same on every system.
// Each system's calls are in tests/support/posix/ or tests/support/win32/ (Winsock, started
// once per process).
#pragma once

#include <cstdint>
#include <string>

namespace zent::testing {

using TestSocket = std::intptr_t;
inline constexpr TestSocket kNoSocket = -1;
// The backlog that asks for the system's largest (SOMAXCONN).
inline constexpr int kLargestBacklog = -1;

// A new IPv4 TCP socket, not inherited by child processes; `nonBlocking`: a connect returns
// at once. kNoSocket on failure.
TestSocket OpenTcpSocket(bool nonBlocking = false);
// Binds `socket` to address:port (0: any free port; `reuse` sets SO_REUSEADDR so a port
// just closed can be taken again) and listens with `backlog` (kLargestBacklog: the largest). The bound port, 0 on failure.
uint16_t BindAndListen(TestSocket socket, const std::string& address, uint16_t port, int backlog,
                       bool reuse);
// Starts a connection to address:port on a non-blocking socket; never waits for it.
void StartConnect(TestSocket socket, const std::string& address, uint16_t port);
void CloseSocket(TestSocket socket);

}  // namespace zent::testing
