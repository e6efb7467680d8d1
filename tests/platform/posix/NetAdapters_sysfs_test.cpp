// Linux: what makes an adapter physical is the device link sysfs shows for it; a stand-in
// sysfs folder decides it here.
#include "platform/NetAdapters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "../TestSupport.h"

namespace zent::platform {
namespace {

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
