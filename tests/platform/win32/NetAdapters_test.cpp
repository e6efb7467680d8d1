// Windows: adapters are named by their GUID text, and the loopback adapter is no physical
// one (it has no hardware behind it).
#include "platform/NetAdapters.h"

#include <gtest/gtest.h>

namespace zent::platform {
namespace {

TEST(NetAdaptersWin32, NamesAreGuidTextsAndPhysicalOnesHaveAnEthernetAddress) {
  std::vector<NetAdapter> all;
  ASSERT_FALSE(ListNetAdapters(false, all));
  ASSERT_FALSE(all.empty());
  for (const auto& a : all) {
    ASSERT_EQ(a.name.size(), 38u) << a.name;
    EXPECT_EQ(a.name.front(), '{') << a.name;
    EXPECT_EQ(a.name.back(), '}') << a.name;
    if (a.physical) {
      EXPECT_EQ(a.mac.size(), 6u) << a.name;
    }
  }
}

}  // namespace
}  // namespace zent::platform
