// Adapter listings: hardware address texts, and the listing, the interface test and the
// address listing agreeing with each other on the machine the test runs on.
#include "platform/NetAdapters.h"

#include "platform/NetAddresses.h"
#include "platform/Net.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zent::platform {
namespace {

TEST(NetAdapters, ParsesOnlyWellFormedMacText) {
  struct Case {
    const char* text;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"00:1a:2B:3c:4d:5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"ff:ff:ff:ff:ff:ff", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"", {}},
      {"00:1a:2b:3c:4d:5", {}},   // a short last byte
      {"00:1a:2b:3c:4d:5e:", {}}, // a trailing separator
      {"00-1a-2b-3c-4d-5e", {}},  // the wrong separator
      {"0g:1a", {}},
      {"001a2b", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseMacText(c.text), c.bytes) << c.text;
}

TEST(NetAdapters, MacTextIsUpperCaseHexJoinedByDashes) {
  EXPECT_EQ(MacText({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(MacText({0x0F}), "0F");
  EXPECT_EQ(MacText({}), "");
}

TEST(NetAdapters, ListingInterfaceTestAndAddressesAgree) {
  std::vector<NetAdapter> all, physical;
  ASSERT_FALSE(ListNetAdapters(false, all));
  ASSERT_FALSE(ListNetAdapters(true, physical));
  ASSERT_FALSE(all.empty()) << "not even a loopback adapter";
  size_t physicalCount = 0;
  for (const auto& a : all) {
    EXPECT_TRUE(IsNetInterface(a.name, false)) << a.name;
    EXPECT_EQ(IsNetInterface(a.name, true), a.physical) << a.name;
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [&](const NetAdapter& b) { return b.name == a.name; }), 1)
        << a.name << " listed twice";
    if (a.physical) ++physicalCount;
  }
  EXPECT_EQ(physical.size(), physicalCount);
  for (const auto& p : physical) EXPECT_TRUE(p.physical) << p.name;
  EXPECT_FALSE(IsNetInterface("", false));
  EXPECT_FALSE(IsNetInterface("no-such-adapter", false));

  // The loopback address belongs to a listed adapter, which is no physical one.
  std::vector<InterfaceAddress> addresses;
  ASSERT_FALSE(ListIPv4Addresses(addresses));
  const uint32_t loopback = *ParseIPv4("127.0.0.1");
  const auto lo = std::find_if(addresses.begin(), addresses.end(),
                               [&](const InterfaceAddress& a) { return a.address == loopback; });
  ASSERT_NE(lo, addresses.end());
  EXPECT_EQ(lo->mask, *ParseIPv4("255.0.0.0"));
  const auto owner = std::find_if(all.begin(), all.end(), [&](const NetAdapter& a) { return a.name == lo->interfaceName; });
  ASSERT_NE(owner, all.end()) << lo->interfaceName;
  EXPECT_FALSE(owner->physical);
}

}  // namespace
}  // namespace zent::platform
