#include "platform/NamedLock.h"

#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Process.h"

namespace zent::platform {
namespace {

using testing::Child;
using testing::ReadySignal;
using testing::ScopedEnv;
using testing::TempDir;

// Every test gets its own session folder (POSIX: the runtime folder; Windows: the temporary
// folder) and names of its own (Windows keeps session names per logon session, not per folder).
class NamedLockTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().c_str()};
  ScopedEnv temp_{"TMP", dir_.path().c_str()};

  std::string Unique(const std::string& base) const {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return base + "-" + info->name() + "-" + std::to_string(CurrentProcessId());
  }
};

TEST_F(NamedLockTest, ExistsWhileHeldInThisProcess) {
  const std::string name = Unique("role");
  EXPECT_FALSE(NamedLock::Exists(name));
  EXPECT_FALSE(std::filesystem::exists(NamedLock::PathFor(name)));  // a probe creates nothing
  {
    NamedLock first(name), second(name);
    ASSERT_FALSE(first.Hold());
    ASSERT_FALSE(second.Hold());  // holders share
    EXPECT_TRUE(NamedLock::Exists(name));
  }
  EXPECT_FALSE(NamedLock::Exists(name));
}

// Starts side by side: of many taking the name at once, exactly one finds it free, and all
// hold it afterwards. (Each object has its own descriptor, so threads stand for processes.)
TEST_F(NamedLockTest, OfManyTakingANameAtOnceExactlyOneFindsItFree) {
  const std::string name = Unique("role");
  for (int round = 0; round < 20; ++round) {
    constexpr int kStarters = 8;
    std::vector<std::unique_ptr<NamedLock>> locks;
    for (int i = 0; i < kStarters; ++i) locks.push_back(std::make_unique<NamedLock>(name));
    bool heldBefore[kStarters] = {};
    std::error_code errors[kStarters];
    {
      std::vector<std::jthread> starters;
      for (int i = 0; i < kStarters; ++i)
        starters.emplace_back([&, i] { errors[i] = HoldAndTellIfHeld(*locks[i], heldBefore[i]); });
    }
    int first = 0;
    for (int i = 0; i < kStarters; ++i) {
      EXPECT_FALSE(errors[i]) << errors[i].message();
      if (!heldBefore[i]) ++first;
    }
    EXPECT_EQ(first, 1) << "round " << round;
    EXPECT_TRUE(NamedLock::Exists(name));
    locks.clear();
    EXPECT_FALSE(NamedLock::Exists(name));
  }
}

TEST_F(NamedLockTest, ExclusiveLocksExcludeEachOtherInOneProcess) {
  const std::string name = Unique("mutex");
  NamedLock a(name), b(name);
  ASSERT_FALSE(a.Lock(0));
  EXPECT_EQ(a.Lock(0), std::error_code());  // already ours
  EXPECT_EQ(b.Lock(0), std::errc::timed_out);
  EXPECT_EQ(b.Lock(20), std::errc::timed_out);
  EXPECT_TRUE(NamedLock::Exists(name));
  a.Unlock();
  EXPECT_FALSE(NamedLock::Exists(name));
  EXPECT_FALSE(b.Lock(0));
}

TEST_F(NamedLockTest, OneObjectServesOneUse) {
  NamedLock held(Unique("x")), locked(Unique("y"));
  ASSERT_FALSE(held.Hold());
  EXPECT_EQ(held.Lock(0), std::errc::invalid_argument);
  EXPECT_TRUE(NamedLock::Exists(held.Name()));  // the failed lock did not drop the hold
  ASSERT_FALSE(locked.Lock(0));
  EXPECT_EQ(locked.Hold(), std::errc::invalid_argument);
}

TEST_F(NamedLockTest, AnotherProcessHoldsUntilItDies) {
  ReadySignal ready(dir_ / "ready");
  const std::string name = Unique("role");
  Child child("hold", {name, ready.path()});
  ASSERT_TRUE(ready.Wait());
  EXPECT_TRUE(NamedLock::Exists(name));
  NamedLock mutex(name);
  EXPECT_EQ(mutex.Lock(20), std::errc::timed_out);  // a shared holder blocks exclusive use

  child.Kill();
  EXPECT_FALSE(NamedLock::Exists(name));
  EXPECT_FALSE(mutex.Lock(0));
}

TEST_F(NamedLockTest, TimedLockExpiresWhileAnotherProcessLocks) {
  ReadySignal ready(dir_ / "ready");
  const std::string name = Unique("mutex");
  Child child("lock", {name, ready.path()});
  ASSERT_TRUE(ready.Wait());
  NamedLock mine(name);
  EXPECT_EQ(mine.Lock(0), std::errc::timed_out);
  EXPECT_EQ(mine.Lock(50), std::errc::timed_out);
  child.Kill();
  EXPECT_FALSE(mine.Lock(kInfinite));
}

}  // namespace
}  // namespace zent::platform
