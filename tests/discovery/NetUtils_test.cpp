#include "discovery/NetUtils.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Responder.h"
#include "platform/Net.h"
#include "platform/posix/RouteTable.h"

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

std::string ReadFixture(const char* name) {
  std::ifstream in(std::string(ZENT_TEST_DATA_DIR) + "/discovery/" + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(RouteTable, FirstDefaultRowGivesTheGateway) {
  const auto gw = platform::posix::ParseDefaultGateway(ReadFixture("proc_net_route.txt"));
  ASSERT_TRUE(gw.has_value());
  EXPECT_EQ(platform::IPv4Text(*gw), "192.168.1.1");
}

TEST(RouteTable, DamagedTables) {
  struct Case {
    const char* table;
    const char* gateway;  // nullptr: none
  } cases[] = {
      {"", nullptr},
      {"Iface\tDestination\tGateway\n", nullptr},
      {"header\neth0\t0010A8C0\t0101A8C0\n", nullptr},          // no default row
      {"header\neth0\t00000000\n", nullptr},                     // gateway missing
      {"header\neth0\t00000000\tZZZZZZZZ\n", nullptr},
      {"header\neth0\t0000000\t0101A8C0\n", nullptr},            // short destination
      {"header\nbad\nx\t00000000\t0100000A\n", "10.0.0.1"},      // malformed rows skipped
      {"header\r\neth0\t00000000\t0100000A\r\n", "10.0.0.1"},
      {"eth0\t00000000\t0100000A\n", nullptr},                   // the first line is the header
      {"h\nlo 00000000 00000000", "0.0.0.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    const auto gw = platform::posix::ParseDefaultGateway(c.table);
    if (!c.gateway) {
      EXPECT_FALSE(gw.has_value());
    } else {
      ASSERT_TRUE(gw.has_value());
      EXPECT_EQ(platform::IPv4Text(*gw), c.gateway);
    }
  }
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

TEST_F(InNamespace, GatewayAndAdapters) {
  EXPECT_EQ(GetDefaultGateway(), "10.77.0.1");

  TNetAdapter adapter;
  int index = -1;
  EXPECT_FALSE(FindAdapterForIP("10.77.0.1", true, adapter, index));  // veth0 is not physical
  ASSERT_TRUE(FindAdapterForIP("10.77.0.1", false, adapter, index));
  EXPECT_EQ(adapter.ClassID, "veth0");
  EXPECT_EQ(adapter.Name, "veth0");
  EXPECT_EQ(index, 0);
  EXPECT_EQ(adapter.IPList.at(0).IP, "10.77.0.2");
  EXPECT_EQ(adapter.IPList.at(0).Mask, "255.255.255.0");
  EXPECT_FALSE(adapter.IsInvalid());
  EXPECT_FALSE(FindAdapterForIP("10.78.0.1", false, adapter, index));
  EXPECT_FALSE(FindAdapterForIP("0.0.0.0", false, adapter, index));
  EXPECT_FALSE(FindAdapterForIP("255.255.255.255", false, adapter, index));
  EXPECT_FALSE(FindAdapterForIP("not an address", false, adapter, index));

  EXPECT_TRUE(GetNetAdapters(true, false).empty());
  const auto all = GetNetAdapters(false, false);
  ASSERT_EQ(all.size(), 2u);  // lo, veth0 in kernel order
  EXPECT_EQ(all[0].ClassID, "lo");
  EXPECT_EQ(all[1].ClassID, "veth0");
  EXPECT_EQ(GetNetAdapters(false, true).size(), 1u);
  EXPECT_FALSE(IsPhysicalAdapter("veth0"));
  EXPECT_TRUE(IsPhysicalAdapter("veth0", false));
  EXPECT_FALSE(IsPhysicalAdapter("nosuch0", false));
  EXPECT_FALSE(IsPhysicalAdapter("../lo", false));
}

TEST_F(InNamespace, PingCrossesTheLink) {
  EXPECT_TRUE(Ping("10.77.0.1"));
  EXPECT_FALSE(Ping("10.77.0.99"));  // nobody there: the 1000 ms wait ends it
}

}  // namespace
}  // namespace zent
