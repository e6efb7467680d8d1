// IPv4 texts and the UDP socket every discovery request goes through: datagrams on the
// loopback, one too large for the buffer, a wait that ends at its time-out, and a wake raised
// by another thread that ends a waiting receive at once.
#include "platform/Net.h"
#include "platform/Emulation.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

namespace zent::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const uint32_t kLoopback = *ParseIPv4("127.0.0.1");

TEST(NetTest, ParsesTheClassicAddressForms) {
  struct Case {
    const char* text;
    const char* address;  // nullptr: no address
  } cases[] = {
      {"192.168.1.10", "192.168.1.10"},
      {"255.255.255.255", "255.255.255.255"},
      {"4294967295", "255.255.255.255"},
      {"0x7f.1", "127.0.0.1"},           // a short form with a hexadecimal part
      {"017.1.1.1", "15.1.1.1"},         // a leading 0 is octal
      {"1.2.65535", "1.2.255.255"},      // the last part fills the remaining bytes
      {"1.2.3.4 trailing", "1.2.3.4"},   // text after a blank is ignored
      {"1.2.3.4x", nullptr},
      {"08.1.1.1", nullptr},             // no octal digit
      {"1.2.3.4.", nullptr},
      {"1..2", nullptr},
      {" 1.2.3.4", nullptr},
      {"1.2.3.256", nullptr},
      {"1.2.65536", nullptr},
      {"4294967296", nullptr},
      {"0x", nullptr},
      {"1.2.3.-4", nullptr},
      {"+1.2.3.4", nullptr},
      {"", nullptr},
      {"host.example", nullptr},
  };
  for (const auto& c : cases) {
    const auto a = ParseIPv4(c.text);
    if (c.address) {
      ASSERT_TRUE(a) << c.text;
      EXPECT_EQ(IPv4Text(*a), c.address) << c.text;
    } else {
      EXPECT_FALSE(a) << c.text;
    }
  }
  EXPECT_FALSE(ParseIPv4(std::string_view("1.2.3.4\0", 8)));
}

TEST(NetTest, TellsIPv6TextAndResolvesDottedAddressesWithoutAsking) {
  EXPECT_TRUE(IsIPv6Text("::1"));
  EXPECT_TRUE(IsIPv6Text("fe80::1:2"));
  EXPECT_FALSE(IsIPv6Text("127.0.0.1"));
  EXPECT_FALSE(IsIPv6Text("::g"));
  EXPECT_EQ(ResolveIPv4("10.1.2.3"), ParseIPv4("10.1.2.3"));
  EXPECT_FALSE(ResolveIPv4(""));
  EXPECT_EQ(ResolveIPv4("localhost"), kLoopback);
}

struct UdpPair {
  UdpSocket receiver, sender;
  uint16_t port = 0;
  void SetUp() {
    ASSERT_FALSE(receiver.Open());
    ASSERT_FALSE(receiver.Bind(kLoopback, 0));
    ASSERT_FALSE(receiver.LocalPort(port));
    ASSERT_NE(port, 0);
    ASSERT_FALSE(sender.Open());
    ASSERT_FALSE(sender.Bind(kLoopback, 0));
  }
};

TEST(NetTest, ReceivesDatagramsAndDropsOneTooLargeWhole) {
  UdpPair p;
  ASSERT_NO_FATAL_FAILURE(p.SetUp());
  uint16_t senderPort = 0;
  ASSERT_FALSE(p.sender.LocalPort(senderPort));
  const std::array<uint8_t, 3> small{1, 2, 3};
  const std::array<uint8_t, 64> large{};
  ASSERT_FALSE(p.sender.SendTo(kLoopback, p.port, large));
  ASSERT_FALSE(p.sender.SendTo(kLoopback, p.port, small));

  std::array<uint8_t, 16> buffer{};
  UdpSocket::Received got;
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, nullptr, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kTooLarge);
  EXPECT_EQ(got.from, kLoopback);
  EXPECT_EQ(got.fromPort, senderPort);
  // The rest of the large one is gone: the next receive gets the small one.
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, nullptr, got));
  ASSERT_EQ(got.kind, UdpSocket::ReceiveKind::kDatagram);
  ASSERT_EQ(got.size, small.size());
  EXPECT_TRUE(std::equal(small.begin(), small.end(), buffer.begin()));
  EXPECT_EQ(got.fromPort, senderPort);

  // A datagram to a port nobody listens on draws an ICMP report; the next receive must not
  // fail because of it.
  UdpSocket gone;
  uint16_t gonePort = 0;
  ASSERT_FALSE(gone.Open());
  ASSERT_FALSE(gone.Bind(kLoopback, 0));
  ASSERT_FALSE(gone.LocalPort(gonePort));
  gone.Close();
  ASSERT_FALSE(p.receiver.SendTo(kLoopback, gonePort, small));
  ASSERT_FALSE(p.sender.SendTo(kLoopback, p.port, small));
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, nullptr, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kDatagram);
}

TEST(NetTest, AReceiveEndsAtItsTimeOutOrAtOnceWhenWoken) {
  UdpPair p;
  ASSERT_NO_FATAL_FAILURE(p.SetUp());
  std::array<uint8_t, 16> buffer{};
  UdpSocket::Received got;
  WakeEvent wake;
  ASSERT_TRUE(wake.Valid());

  auto start = Clock::now();
  ASSERT_FALSE(p.receiver.Receive(buffer, 200, &wake, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kTimeout);
  EXPECT_GE(Clock::now() - start, 150ms);

  std::thread waker([&] {
    std::this_thread::sleep_for(100ms);
    wake.Signal();
  });
  start = Clock::now();
  ASSERT_FALSE(p.receiver.Receive(buffer, 20000, &wake, got));
  waker.join();
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kWoken);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_FALSE(wake.Consume()) << "the receive consumes the wake it reports";

  // Raised twice before anyone looks: one wake. A datagram is then received normally.
  wake.Signal();
  wake.Signal();
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, &wake, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kWoken);
  const std::array<uint8_t, 1> one{7};
  ASSERT_FALSE(p.sender.SendTo(kLoopback, p.port, one));
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, &wake, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kDatagram);

  // After a receive, the socket still sends (it is left as it was).
  ASSERT_FALSE(p.receiver.SendTo(kLoopback, p.port, one));
  ASSERT_FALSE(p.receiver.Receive(buffer, 5000, nullptr, got));
  EXPECT_EQ(got.kind, UdpSocket::ReceiveKind::kDatagram);
}

TEST(NetTest, AMovedSocketKeepsItsPortAndAClosedOneIsNotOpen) {
  UdpSocket a;
  EXPECT_FALSE(a.IsOpen());
  ASSERT_FALSE(a.Open());
  EXPECT_TRUE(a.IsOpen());
  ASSERT_FALSE(a.Bind(kLoopback, 0));
  uint16_t port = 0, moved = 0;
  ASSERT_FALSE(a.LocalPort(port));
  UdpSocket b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  ASSERT_FALSE(b.LocalPort(moved));
  EXPECT_EQ(moved, port);
  b.Close();
  EXPECT_FALSE(b.IsOpen());
}

// Echo requests to the loopback address: answered, and a message that is no echo request
// is never sent.
TEST(NetTest, AnEchoRequestToTheLoopbackIsAnswered) {
  std::array<uint8_t, 16> request{8, 0, 0, 0, 0x12, 0x34, 0, 1, 'z', 'e', 'n', 't'};
  // The caller fills in the checksum (a raw socket sends the bytes as they are).
  uint32_t sum = 0;
  for (size_t i = 0; i < request.size(); i += 2) sum += static_cast<uint32_t>(request[i] << 8 | request[i + 1]);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  request[2] = static_cast<uint8_t>(~sum >> 8);
  request[3] = static_cast<uint8_t>(~sum);
  std::array<uint8_t, 16> notEcho = request;
  notEcho[0] = 0;
  EXPECT_FALSE(IcmpEcho(kLoopback, notEcho, 200));
  EXPECT_FALSE(IcmpEcho(kLoopback, std::span(request).first(4), 200));
  const bool answered = IcmpEcho(kLoopback, request, 3000);
  if (!answered && RunningUnderWine()) {
    GTEST_SKIP() << "Wine sends echo requests through the host's ICMP sockets, which this "
                    "user may not open (net.ipv4.ping_group_range, no CAP_NET_RAW)";
  }
  EXPECT_TRUE(answered);
}

}  // namespace
}  // namespace zent::platform
