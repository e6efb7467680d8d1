#include "discovery/NetUtils.h"

#include <gtest/gtest.h>

#include "Responder.h"
#include "platform/Net.h"

namespace zent {
namespace {

TEST(AddressTests, IsIPAddressAndIsUsableIP) {
  struct Case {
    const char* text;
    int kind;
    bool usable;
  } cases[] = {
      {"192.168.1.25", 1, true},
      {"0.1.2.3", 1, false},        // begins with 0.
      {"192.168.1.0", 1, false},    // ends with .0
      {"172.16.255.4", 1, false},   // contains 255
      {"192.168.1.255", 1, false},
      {"10.255.3.4", 1, false},
      {"10.0.0.1", 1, true},        // a 0 inside is fine
      {"1.2.3.4", 1, true},
      {"192.168.1.250", 1, true},
      {"256.1.1.1", 0, false},
      {"1.2.3", 0, false},
      {"01.02.03.04", 1, true},
      {"1.2.3.4.5", 0, false},
      {" 1.2.3.4", 0, false},
      {"::1", 2, true},
      {"fe80::1:2", 2, true},
      {"2001:db8::255", 2, true},   // IPv6 addresses are always usable
      {"pos-server", 0, false},     // a host name is no address
      {"", 0, false},
      {":::", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsIPAddress(c.text), c.kind);
    EXPECT_EQ(IsUsableIP(c.text), c.usable);
  }
  EXPECT_EQ(IsIPAddress(std::string_view("1.2.3.4\0x", 9)), 0);
}

TEST(EchoRequest, LayoutAndChecksum) {
  const auto r = BuildEchoRequest(0x1234);
  EXPECT_EQ(r[0], 8);
  EXPECT_EQ(r[1], 0);
  EXPECT_EQ(r[4], 0x34);
  EXPECT_EQ(r[5], 0x12);
  EXPECT_EQ(r[6], 1);
  EXPECT_EQ(r[7], 0);
  for (size_t i = 8; i < r.size(); ++i) EXPECT_EQ(r[i], 0);
  // A correct checksum makes the sum over the whole message verify to zero.
  EXPECT_EQ(InternetChecksum(r), 0);
  // RFC 1071's worked example: words 0001 f203 f4f5 f6f7 sum to ddf2, checksum 220d.
  const uint8_t sample[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  EXPECT_EQ(InternetChecksum(sample), 0x220d);
  const uint8_t odd[] = {0x01};
  EXPECT_EQ(InternetChecksum(odd), static_cast<uint16_t>(~0x0100));
}

TEST(Resolve, DottedAddressesAndFailures) {
  EXPECT_EQ(platform::IPv4Text(ResolveHost("127.0.0.1")), "127.0.0.1");
  EXPECT_EQ(platform::IPv4Text(ResolveHost("10.1.2.3")), "10.1.2.3");
  EXPECT_EQ(ResolveHost(""), kInaddrNone);
  EXPECT_EQ(ResolveHost(std::string("1.2.3.4\0", 8)), kInaddrNone);
}

TEST(Ping, LoopbackAnswersAndNoAddressDoesNot) {
  EXPECT_TRUE(Ping("127.0.0.1")) << "needs ICMP datagram sockets or CAP_NET_RAW";
  EXPECT_FALSE(Ping(""));
  EXPECT_FALSE(Ping("255.255.255.255"));
}

// The namespace of scripts/netns.sh: veth0 10.77.0.2/24, default route via 10.77.0.1, and
// no physical adapter (a veth has no device behind it).
class InNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::InPrivateNetns()) GTEST_SKIP() << "runs only inside scripts/netns.sh";
  }
};

TEST_F(InNamespace, PingCrossesTheLink) {
  EXPECT_TRUE(Ping("10.77.0.1"));
  EXPECT_FALSE(Ping("10.77.0.99"));  // nobody there: the 1000 ms wait ends it
}

}  // namespace
}  // namespace zent
