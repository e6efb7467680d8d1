#include "platform/EndSignals.h"

#include <signal.h>

#include <gtest/gtest.h>

#include "../TestSupport.h"

namespace zent::platform {
namespace {

using testing::Child;

// In a child copy (the handlers are process-wide): the first request is a byte on the pipe,
// the second ends the process by its signal.
TEST(EndSignals, FirstRequestIsQueuedSecondEndsTheProcess) {
  Child child("endsignals", {});
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.Wait(), 128 + SIGINT);
}

TEST(EndSignals, Names) {
  char buffer[24];
  EXPECT_STREQ(EndSignalName(SIGTERM, buffer), "SIGTERM");
  EXPECT_STREQ(EndSignalName(SIGINT, buffer), "SIGINT");
  EXPECT_STREQ(EndSignalName(SIGHUP, buffer), "SIGHUP");
  EXPECT_STREQ(EndSignalName(99, buffer), "signal 99");
}

}  // namespace
}  // namespace zent::platform
