// What only Windows processes have: the system's ids and handles a child must not inherit.
#include "platform/Process.h"

#include <windows.h>

#include <thread>

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/win32/UniqueHandle.h"

namespace zent::platform {
namespace {

TEST(Process, IdsAreTheSystemsIds) {
  EXPECT_EQ(CurrentProcessId(), ::GetCurrentProcessId());
  EXPECT_EQ(CurrentThreadId(), ::GetCurrentThreadId());
  uint32_t other = 0;
  std::jthread([&] { other = CurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, CurrentThreadId());
}

TEST(Process, ChildInheritsNoHandleALibraryLeftInheritable) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  win32::UniqueHandle event(::CreateEventW(&inherit, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  testing::Child child("handleclosed", {std::to_string(reinterpret_cast<uintptr_t>(event.get()))});
  EXPECT_EQ(child.Wait(), 0);
}

TEST(Process, EnvironmentReachesTheSystemAndTheRuntime) {
  ASSERT_FALSE(SetEnvironmentValue("ZENT_TEST_VALUE", "值"));
  EXPECT_EQ(EnvironmentValue("ZENT_TEST_VALUE"), "值");
  ASSERT_FALSE(SetEnvironmentValue("ZENT_TEST_VALUE", ""));
  EXPECT_EQ(EnvironmentValue("ZENT_TEST_VALUE"), "");
  testing::system::SetEnv("ZENT_TEST_VALUE", nullptr);
  EXPECT_EQ(EnvironmentValue("ZENT_TEST_VALUE"), std::nullopt);
}

}  // namespace
}  // namespace zent::platform
