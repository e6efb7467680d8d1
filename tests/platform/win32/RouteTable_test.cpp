// Windows: the gateway is the default route of the lowest metric, as the system routes.
#include "platform/win32/RouteTable.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Net.h"

namespace zent::platform::win32 {
namespace {

uint32_t A(const char* text) { return *ParseIPv4(text); }

TEST(RouteTableWin32, ChoosesTheDefaultRouteOfTheLowestMetric) {
  struct Case {
    const char* name;
    std::vector<DefaultRoute> routes;
    const char* gateway;  // nullptr: none
  } cases[] = {
      {"empty", {}, nullptr},
      {"only a subnet", {{A("10.0.0.0"), A("255.0.0.0"), A("10.0.0.1"), 1}}, nullptr},
      {"one default", {{A("10.0.0.0"), A("255.0.0.0"), A("10.0.0.1"), 1}, {0, 0, A("192.168.1.1"), 25}}, "192.168.1.1"},
      {"lowest metric wins", {{0, 0, A("192.168.1.1"), 50}, {0, 0, A("192.168.2.1"), 10}}, "192.168.2.1"},
      {"the earlier on a tie", {{0, 0, A("192.168.1.1"), 10}, {0, 0, A("192.168.2.1"), 10}}, "192.168.1.1"},
      {"on-link default skipped", {{0, 0, 0, 1}, {0, 0, A("192.168.3.1"), 30}}, "192.168.3.1"},
      {"a host route to 0.0.0.0 is no default", {{0, A("255.255.255.255"), A("10.0.0.1"), 1}}, nullptr},
  };
  for (const auto& c : cases) {
    const auto gw = BestDefaultGateway(c.routes);
    if (c.gateway) {
      ASSERT_TRUE(gw) << c.name;
      EXPECT_EQ(IPv4Text(*gw), c.gateway) << c.name;
    } else {
      EXPECT_FALSE(gw) << c.name;
    }
  }
}

}  // namespace
}  // namespace zent::platform::win32
