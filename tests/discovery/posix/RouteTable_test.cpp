// The Linux route table's text (/proc/net/route) read for the default gateway: only Linux
// has that file, so these cases are built for Linux only.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Net.h"
#include "platform/posix/RouteTable.h"

namespace zent {
namespace {

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

}  // namespace
}  // namespace zent
