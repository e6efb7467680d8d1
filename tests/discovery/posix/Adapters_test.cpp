// The namespace's adapters as Linux names and orders them (veth0 after lo, in the kernel's
// order) and tells a physical one by its sysfs device: these cases are built for Linux only.
#include <gtest/gtest.h>

#include "discovery/NetUtils.h"
#include "support/NetNamespace.h"

namespace zent {
namespace {

// The namespace of scripts/netns.sh: veth0 10.77.0.2/24, default route via 10.77.0.1, and
// no physical adapter (a veth has no device behind it).
class AdaptersInNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::InPrivateNetns()) GTEST_SKIP() << "runs only inside scripts/netns.sh";
  }
};

TEST_F(AdaptersInNamespace, GatewayAndAdapters) {
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

}  // namespace
}  // namespace zent
