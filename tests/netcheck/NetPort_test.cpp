#include "netcheck/NetPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/ReportLog.h"
#include "platform/NetAddresses.h"
#include "platform/TcpProbe.h"

namespace zent {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Listener = testing::LoopbackListener;

const uint32_t kLoopback = *platform::ParseIPv4("127.0.0.1");
// On the namespace's link but held by nobody: a connection there is never answered.
constexpr char kSilentHost[] = "10.77.0.99";

// The namespace of scripts/netns.sh, whose link holds the silent host (an adapter name would
// not do: Windows names its adapters by GUID).
bool HasLink() { return testing::InPrivateNetns(); }

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// Fast passes, so a test sees several within a second or two.
constexpr TPortCheckTiming kFast{std::chrono::milliseconds(150), std::chrono::milliseconds(5)};

struct Change {
  std::string host;
  TPortStatus status;
  uint16_t port;
  std::string address;
};

// Collects the checker's reports so a test can wait for them.
class Changes : public testing::ReportLog<Change> {
 public:
  TPortStateChangeEvent Callback() {
    return [this](TPortCheck&, const std::string& host, TPortStatus status, uint16_t port,
                  const std::string& address) { Add({host, status, port, address}); };
  }
};

TEST(PortCheckKeyTest, UpperCaseHostAndPort) {
  EXPECT_EQ(PortCheckKey("www.Example.com", 80), "WWW.EXAMPLE.COM:80");
  EXPECT_EQ(PortCheckKey("10.0.0.1", 7006), "10.0.0.1:7006");
  EXPECT_EQ(PortCheckKey("Server", 8080), PortCheckKey("sERVER", 8080));
  EXPECT_NE(PortCheckKey("server", 8080), PortCheckKey("server", 8081));
}

TEST(PortStatusTextTest, LogTexts) {
  EXPECT_STREQ(PortStatusText(PS_UNCHECK), "未检测");
  EXPECT_STREQ(PortStatusText(PS_OK), "正常");
  EXPECT_STREQ(PortStatusText(PS_UNCONNECTED), "无法连接");
  EXPECT_STREQ(PortStatusText(PS_UNKNOW), "未知");
}

TEST(PortCheckListTest, AddRemoveAndStateIgnoreLetterCase) {
  // Items on a port nobody listens on and a long interval: no pass changes them meanwhile.
  TPortCheck checker({}, {std::chrono::hours(1), std::chrono::hours(1)});
  checker.Add("Host.Example", 81, 1000);
  checker.Add("host.example", 81, 1000);  // the same item
  EXPECT_EQ(checker.PortState("HOST.EXAMPLE", 81), PS_UNCHECK);
  EXPECT_EQ(checker.PortState("host.example", 82), PS_UNKNOW);
  EXPECT_EQ(checker.PortState("other", 81), PS_UNKNOW);

  checker.Remove("unwatched", 81);  // nothing to remove
  EXPECT_EQ(checker.PortState("host.example", 81), PS_UNCHECK);
  checker.Remove("HOST.example", 81);
  EXPECT_EQ(checker.PortState("Host.Example", 81), PS_UNKNOW);
}

TEST(ConnectTestTest, ListeningClosedAndRefusedPorts) {
  Listener listener;
  ASSERT_TRUE(listener.Open());
  EXPECT_EQ(ConnectTest(kLoopback, listener.Port(), 1000), PS_OK);
  listener.Close();
  // A refusal is reported as soon as it comes, not after the time-out.
  const auto start = Clock::now();
  EXPECT_EQ(ConnectTest(kLoopback, listener.Port(), 30000), PS_UNCONNECTED);
  EXPECT_LT(Clock::now() - start, 10s);
}

TEST(ConnectTestTest, SilentHostWaitsForTheTimeOut) {
  if (!HasLink()) GTEST_SKIP() << "needs the private network namespace's link";
  const auto start = Clock::now();
  EXPECT_EQ(ConnectTest(*platform::ParseIPv4(kSilentHost), 80, 1500), PS_UNCONNECTED);
  EXPECT_GE(Clock::now() - start, 1400ms);
}

TEST(ConnectTestTest, CancelEndsTheWaitAtOnce) {
  if (!HasLink()) GTEST_SKIP() << "needs the private network namespace's link";
  platform::WakeEvent cancel;
  std::jthread raiser([&] {
    std::this_thread::sleep_for(100ms);
    cancel.Signal();
  });
  const auto start = Clock::now();
  EXPECT_EQ(ConnectTest(*platform::ParseIPv4(kSilentHost), 80, 60000, &cancel), PS_UNCHECK);
  EXPECT_LT(Clock::now() - start, 30s);
}

TEST(ResolveCancellableTest, NamesAddressesAndCancel) {
  platform::WakeEvent cancel;
  EXPECT_EQ(platform::ResolveIPv4Cancellable("127.0.0.1", cancel), kLoopback);
  EXPECT_EQ(platform::ResolveIPv4Cancellable("localhost", cancel), kLoopback);
  EXPECT_EQ(platform::ResolveIPv4Cancellable("", cancel), std::nullopt);
  if (!HasLink()) GTEST_SKIP() << "the rest asks a name server: only inside the namespace";
  if (kThreadSanitizer) GTEST_SKIP() << "lookups run in place under ThreadSanitizer";
  // Inside the namespace no name server answers: the lookup waits until cancelled.
  std::jthread raiser([&] {
    std::this_thread::sleep_for(100ms);
    cancel.Signal();
  });
  const auto start = Clock::now();
  EXPECT_EQ(platform::ResolveIPv4Cancellable("nothing-here.invalid", cancel), std::nullopt);
  EXPECT_LT(Clock::now() - start, 3s);
  raiser.join();
  // Once raised it stays raised: a later lookup returns at once.
  EXPECT_EQ(platform::ResolveIPv4Cancellable("nothing-here.invalid", cancel), std::nullopt);
}

TEST(PortCheckThreadTest, ReportsEachChangeOnceAndFollowsTheEndpoint) {
  Listener listener;
  ASSERT_TRUE(listener.Open());
  Changes changes;
  TPortCheck checker(changes.Callback(), kFast);
  checker.Add("127.0.0.1", listener.Port(), 1000);

  ASSERT_TRUE(changes.WaitFor(1));
  std::this_thread::sleep_for(600ms);  // several more passes: an unchanged state says nothing
  auto list = changes.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].host, "127.0.0.1");
  EXPECT_EQ(list[0].status, PS_OK);
  EXPECT_EQ(list[0].port, listener.Port());
  EXPECT_EQ(list[0].address, "127.0.0.1");
  EXPECT_EQ(checker.PortState("127.0.0.1", listener.Port()), PS_OK);

  listener.Close();
  ASSERT_TRUE(changes.WaitFor(2));
  EXPECT_EQ(changes.List()[1].status, PS_UNCONNECTED);
  ASSERT_TRUE(listener.Open(listener.Port()));
  ASSERT_TRUE(changes.WaitFor(3));
  EXPECT_EQ(changes.List()[2].status, PS_OK);
  EXPECT_EQ(changes.List().size(), 3u);
}

TEST(PortCheckThreadTest, UnresolvedHostIsUnconnectedAtTheBroadcastAddress) {
  Changes changes;
  TPortCheck checker(changes.Callback(), kFast);
  checker.Add("", 80, 1000);  // a host that resolves to nothing, without asking the network
  ASSERT_TRUE(changes.WaitFor(1));
  EXPECT_EQ(changes.List()[0].status, PS_UNCONNECTED);
  EXPECT_EQ(changes.List()[0].address, "255.255.255.255");
}

TEST(PortCheckThreadTest, RemovedItemIsNoLongerReported) {
  Listener a, b;
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());
  Changes changes;
  TPortCheck checker(changes.Callback(), kFast);
  checker.Add("127.0.0.1", a.Port(), 1000);
  ASSERT_TRUE(changes.WaitFor(1));
  checker.Remove("127.0.0.1", a.Port());
  checker.Add("127.0.0.1", b.Port(), 1000);
  ASSERT_TRUE(changes.WaitFor(2));
  a.Close();  // no longer watched: no report
  std::this_thread::sleep_for(600ms);
  const auto list = changes.List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].port, b.Port());
  EXPECT_EQ(list[1].status, PS_OK);
}

TEST(PortCheckThreadTest, DestroyEndsAWaitingConnectionAtOnce) {
  if (!HasLink()) GTEST_SKIP() << "needs the private network namespace's link";
  auto checker = std::make_unique<TPortCheck>(TPortStateChangeEvent{}, kFast);
  checker->Add(kSilentHost, 80, 60000);
  std::this_thread::sleep_for(300ms);  // the first pass is waiting for the silent host
  const auto start = Clock::now();
  checker.reset();
  EXPECT_LT(Clock::now() - start, 30s);
}

}  // namespace
}  // namespace zent
