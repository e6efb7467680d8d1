// Windows: ending another thread's request. A receive waiting for an answer ends at once, a
// socket reported after the abort is ended as soon as it is reported, and an abort with
// nothing (usable) tracked is harmless. The connect phase is in the portable cases' form
// here with Winsock's own wait (select), as the HTTP client waits.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "platform/Emulation.h"
#include "platform/SocketAbort.h"
#include "support/StalledPort.h"

namespace zent::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Winsock {
  Winsock() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
};
const Winsock winsock;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return sa;
}

// A connected pair of TCP sockets on the loopback.
bool ConnectedPair(SOCKET& client, SOCKET& server) {
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in sa = Loopback(0);
  int len = sizeof sa;
  bool ok = listener != INVALID_SOCKET && ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            ::listen(listener, 1) == 0 && ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len) == 0;
  client = ok ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  ok = ok && client != INVALID_SOCKET && ::connect(client, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  server = ok ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
  ::closesocket(listener);
  return ok && server != INVALID_SOCKET;
}

// Connects as the HTTP client does: non-blocking, then select() for the outcome, up to 10 s.
// 0 when connected, else the error.
int ConnectWaiting(SOCKET s, uint16_t port) {
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  const sockaddr_in sa = Loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return ::WSAGetLastError();
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval tv{10, 0};
  const int r = ::select(0, nullptr, &writable, &failed, &tv);
  if (r == SOCKET_ERROR) return ::WSAGetLastError();
  if (r == 0) return WSAETIMEDOUT;
  int error = 0;
  int len = sizeof error;
  ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
  return FD_ISSET(s, &failed) && error == 0 ? WSAECONNABORTED : error;
}

TEST(SocketAbortWin32, AReceiveWaitingForAnAnswerEndsAndLaterSocketsEndAsTheyAreReported) {
  SOCKET client, server;
  ASSERT_TRUE(ConnectedPair(client, server));
  SocketAbort abort;
  abort.Track(client);
  auto received = std::async(std::launch::async, [&] {
    char c;
    return ::recv(client, &c, 1, 0);
  });
  EXPECT_EQ(received.wait_for(100ms), std::future_status::timeout);
  const auto start = Clock::now();
  abort.Abort();
  EXPECT_LT(Clock::now() - start, 50ms) << "the abort waited";
  ASSERT_EQ(received.wait_for(2s), std::future_status::ready);
  EXPECT_LE(received.get(), 0);  // end of stream or an error, never data
  EXPECT_TRUE(abort.Aborted());

  // The requester closed its socket; its number may be handed out again. A socket reported
  // after the abort is shut down at once, the earlier one is let go.
  ::closesocket(client);
  ::closesocket(server);
  ASSERT_TRUE(ConnectedPair(client, server));
  abort.Track(client);
  char c;
  EXPECT_LE(::recv(client, &c, 1, 0), 0);
  EXPECT_EQ(::send(client, "x", 1, 0), SOCKET_ERROR);
  ::closesocket(client);
  ::closesocket(server);
}

TEST(SocketAbortWin32, AConnectWaitingForAnAnswerEndsAtOnce) {
  zent::testing::StalledPort stalled;
  ASSERT_NE(stalled.port, 0);
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(s, INVALID_SOCKET);
  SocketAbort abort;
  abort.Track(s);
  auto outcome = std::async(std::launch::async, [&] { return ConnectWaiting(s, stalled.port); });
  const bool stalledHere = outcome.wait_for(200ms) == std::future_status::timeout;
  if (!stalledHere) {
    ::closesocket(s);
    GTEST_SKIP() << "this system refuses connections to a full accept queue instead of "
                    "leaving them unanswered (Windows does), so no connect waits here";
  }
  abort.Abort();
  const bool ended = outcome.wait_for(2s) == std::future_status::ready;
  if (!ended && RunningUnderWine()) {
    outcome.wait();
    ::closesocket(s);
    GTEST_SKIP() << "Wine neither shuts down a socket still connecting nor cancels a select() "
                    "through another handle of it: the connect ends at its own time-out";
  }
  ASSERT_TRUE(ended);
  EXPECT_NE(outcome.get(), 0);
  ::closesocket(s);
}

TEST(SocketAbortWin32, AnAbortWithNothingTrackedOrAnUnusableSocketIsHarmless) {
  SocketAbort none;
  none.Abort();
  EXPECT_TRUE(none.Aborted());
  SocketAbort bad;
  bad.Track(static_cast<NativeSocket>(INVALID_SOCKET));
  bad.Abort();
  SocketAbort idle;
  EXPECT_FALSE(idle.Aborted());
}

}  // namespace
}  // namespace zent::platform
