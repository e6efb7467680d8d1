#include "platform/NetAdapters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "TestSupport.h"

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

// The loopback interface always exists; a sysfs stand-in decides whether it counts as physical.
TEST(NetAdapters, PhysicalMeansTheKernelShowsADevice) {
  testing::TempDir sys;
  ASSERT_EQ(::mkdir((sys / "lo").c_str(), 0755), 0);
  std::ofstream(sys / "lo/address") << "02:00:00:aa:bb:cc\n";

  std::vector<NetAdapter> adapters;
  ASSERT_FALSE(ListNetAdapters(true, adapters, sys.path()));
  for (const auto& a : adapters) EXPECT_NE(a.name, "lo");

  ASSERT_EQ(::mkdir((sys / "lo/device").c_str(), 0755), 0);
  ASSERT_FALSE(ListNetAdapters(true, adapters, sys.path()));
  ASSERT_EQ(adapters.size(), 1u);
  EXPECT_EQ(adapters[0].name, "lo");
  EXPECT_TRUE(adapters[0].physical);
  EXPECT_EQ(MacText(adapters[0].mac), "02-00-00-AA-BB-CC");

  ASSERT_FALSE(ListNetAdapters(false, adapters, sys.path()));
  EXPECT_FALSE(adapters.empty());
}

TEST(NetAdapters, DamagedAddressFileGivesNoMac) {
  testing::TempDir sys;
  ASSERT_EQ(::mkdir((sys / "lo").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((sys / "lo/device").c_str(), 0755), 0);
  std::ofstream(sys / "lo/address") << std::string(5000, ':');
  std::vector<NetAdapter> adapters;
  ASSERT_FALSE(ListNetAdapters(true, adapters, sys.path()));
  ASSERT_EQ(adapters.size(), 1u);
  EXPECT_TRUE(adapters[0].mac.empty());
}

}  // namespace
}  // namespace zent::platform
