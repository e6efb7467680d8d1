// The TCP connection probe: a listener answers, a closed port does not, a silent one costs
// the time-out, and a raised wake ends the probe at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/TcpProbe.h"
#include "support/LoopbackListener.h"
#include "support/StalledPort.h"

namespace zent::platform {
namespace {

bool Connected(uint32_t address, uint16_t port, uint32_t timeoutMs, const WakeEvent* wake) {
  return TcpConnectTest(address, port, timeoutMs, wake) == ConnectResult::kConnected;
}

TEST(TcpConnectProbeTest, AnswersForAListenerOnlyAndAWakeEndsItAtOnce) {
  const uint32_t loopback = *ParseIPv4("127.0.0.1");
  uint16_t closedPort = 0;
  {
    zent::testing::LoopbackListener l;
    ASSERT_TRUE(l.Open());
    EXPECT_TRUE(Connected(loopback, l.Port(), 500, nullptr));
    closedPort = l.Port();
  }
  EXPECT_FALSE(Connected(loopback, closedPort, 500, nullptr));

  // A connection request to a stalled port goes unanswered: the probe hangs until its
  // time-out or its wake.
  zent::testing::StalledPort full;
  ASSERT_NE(full.port, 0);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Connected(loopback, full.port, 300, nullptr));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250)) << "the queue was not full";

  WakeEvent wake;
  ASSERT_TRUE(wake.Valid());
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    wake.Signal();
  });
  t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Connected(loopback, full.port, 10000, &wake));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  waker.join();
}

// A lookup answers when nobody cancels; a cancel raised beforehand asks nobody, and a
// dotted address needs no lookup at all.
TEST(TcpConnectProbeTest, ALookupAnswersUnlessCancelled) {
  WakeEvent cancel;
  ASSERT_TRUE(cancel.Valid());
  EXPECT_EQ(ResolveIPv4Cancellable("localhost", cancel), ParseIPv4("127.0.0.1"));
  EXPECT_FALSE(ResolveIPv4Cancellable("", cancel));
  cancel.Signal();
  EXPECT_FALSE(ResolveIPv4Cancellable("localhost", cancel));
  EXPECT_EQ(ResolveIPv4Cancellable("10.1.2.3", cancel), ParseIPv4("10.1.2.3"));
  EXPECT_TRUE(cancel.Consume()) << "the lookup left the cancel raised";
}

}  // namespace
}  // namespace zent::platform
