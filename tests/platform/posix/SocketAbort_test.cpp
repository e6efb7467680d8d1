// Ending another thread's request: a connect that waits for an unanswered connection
// request, and a receive that waits for an answer, both end at once; a socket reported
// after the abort is ended as soon as it is reported; and the abort never waits for the
// requesting thread.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "platform/SocketAbort.h"
#include "support/StalledPort.h"

namespace zent::platform {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return sa;
}

// Connects as a request thread does: non-blocking, then waits up to 10 s for the outcome.
// Returns the socket's error (0 when connected).
int ConnectWaiting(int fd, uint16_t port) {
  const sockaddr_in sa = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  if (errno != EINPROGRESS) return errno;
  pollfd p{fd, POLLOUT, 0};
  if (::poll(&p, 1, 10000) <= 0) return ETIMEDOUT;
  int error = 0;
  socklen_t len = sizeof error;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
  return error;
}

TEST(SocketAbortTest, AConnectWaitingForAnAnswerEndsAtOnce) {
  zent::testing::StalledPort stalled;
  ASSERT_NE(stalled.port, 0);
  SocketAbort abort;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  abort.Track(fd);
  auto outcome = std::async(std::launch::async, [&] { return ConnectWaiting(fd, stalled.port); });
  EXPECT_EQ(outcome.wait_for(200ms), std::future_status::timeout) << "the port answered";
  const auto start = Clock::now();
  abort.Abort();
  EXPECT_LT(Clock::now() - start, 50ms);
  ASSERT_EQ(outcome.wait_for(1s), std::future_status::ready);
  EXPECT_NE(outcome.get(), 0);
  EXPECT_TRUE(abort.Aborted());
  ::close(fd);
}

TEST(SocketAbortTest, AReceiveWaitingForAnAnswerEndsAndLaterSocketsEndAsTheyAreReported) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  SocketAbort abort;
  abort.Track(pair[0]);
  auto received = std::async(std::launch::async, [&] {
    char c;
    return ::recv(pair[0], &c, 1, 0);
  });
  EXPECT_EQ(received.wait_for(100ms), std::future_status::timeout);
  abort.Abort();
  ASSERT_EQ(received.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(received.get(), 0);  // end of stream, as if the peer had closed

  // The requester closed its socket; the number may be handed out again. A socket it
  // reports after the abort is shut down at once, the earlier one is let go.
  ::close(pair[0]);
  int next[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, next), 0);
  abort.Track(next[0]);
  char c;
  EXPECT_EQ(::recv(next[0], &c, 1, MSG_DONTWAIT), 0);
  EXPECT_EQ(::send(next[0], "x", 1, MSG_NOSIGNAL), -1);
  for (int fd : {pair[1], next[0], next[1]}) ::close(fd);
}

TEST(SocketAbortTest, AnAbortWithNothingTrackedOrAnUnusableSocketIsHarmless) {
  SocketAbort none;
  none.Abort();
  EXPECT_TRUE(none.Aborted());
  SocketAbort bad;
  bad.Track(-1);
  bad.Abort();
  SocketAbort idle;
  EXPECT_FALSE(idle.Aborted());
}

}  // namespace
}  // namespace zent::platform
