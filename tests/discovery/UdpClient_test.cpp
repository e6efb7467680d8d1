#include "discovery/UdpClient.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <future>
#include <stop_token>

#include "support/HttpTestServer.h"
#include "Responder.h"
#include "common/Errors.h"
#include "platform/Emulation.h"
#include "support/StalledPort.h"
#include "support/SystemErrorText.h"

namespace zent {
namespace {

using testing::Responder;

const uint32_t kLoopback = *platform::ParseIPv4("127.0.0.1");
const uint32_t kLoopback2 = *platform::ParseIPv4("127.0.0.2");

std::vector<uint8_t> Answer(int32_t type, const char* ip, const char* text, size_t size = 236) {
  TReplyData rd;
  rd.SMacType = 3;
  rd.SMsgType = type;
  rd.SetTomcatIp(ip);
  rd.STomcatPort = 8080;
  rd.SetUrl("lumo7/");
  rd.SetText(text);
  const auto b = rd.ToBytes();
  std::vector<uint8_t> d(b.begin(), b.end());
  d.resize(size, 0x5A);
  return d;
}

// A client aimed at a responder on loopback instead of the broadcast address.
std::unique_ptr<TUdpClient> ClientFor(const Responder& r) {
  return CreateUdpClient({"127.0.0.1", r.Port(), false});
}

struct WaitCase {
  const char* name;
  std::vector<Responder::Answer> answers;
  bool found;
  int32_t msgType;  // the record's SMsgType afterwards
  const char* text;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

class WaitReplyTable : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitReplyTable, AnswersAreSortedOut) {
  const WaitCase& c = GetParam();
  Responder r(kLoopback, {kLoopback2});
  r.SetAnswers(c.answers);
  auto client = ClientFor(r);
  client->Send(TRequestData{}.ToBytes());
  TReplyData rd;
  const bool found = WaitReply(*client, rd, kMsgSearchAnswer, {});
  EXPECT_EQ(found, c.found);
  EXPECT_EQ(rd.SMsgType, c.msgType);
  EXPECT_EQ(rd.SText, c.text);
  if (found) {
    // The sender's address replaces whatever the server wrote.
    EXPECT_TRUE(rd.STomcatIp == "127.0.0.1" || rd.STomcatIp == "127.0.0.2") << rd.STomcatIp;
    EXPECT_EQ(rd.STomcatPort, 8080);
  }
  ASSERT_TRUE(r.WaitForRequests(1));
  EXPECT_EQ(r.LastRequest().size(), 112u);
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, WaitReplyTable,
    ::testing::Values(
        WaitCase{"Exact", {{Answer(11, "9.9.9.9", "a")}}, true, 11, "a"},
        WaitCase{"EmptyOwnAddress", {{Answer(11, "", "a")}}, true, 11, "a"},
        WaitCase{"LongerThanARecord", {{Answer(11, "", "long", 600)}}, true, 11, "long"},
        WaitCase{"FullBuffer", {{Answer(11, "", "full", 1024)}}, true, 11, "full"},
        WaitCase{"ShortThenGood", {{Answer(11, "", "short", 235)}, {Answer(11, "", "good")}}, true, 11, "good"},
        WaitCase{"OversizedThenGood", {{Answer(11, "", "big", 1025)}, {Answer(11, "", "good")}}, true, 11, "good"},
        WaitCase{"OtherTypeThenGood", {{Answer(13, "", "other")}, {Answer(11, "", "good")}}, true, 11, "good"},
        WaitCase{"FirstOfTwoServersWins", {{Answer(11, "", "first"), 1}, {Answer(11, "", "second"), 0}}, true, 11, "first"},
        // Without a counting answer the search gives up after its window.
        WaitCase{"OnlyShort", {{Answer(11, "", "short", 235)}}, false, -1, ""},
        WaitCase{"OnlyOversized", {{Answer(11, "", "big", 4000)}}, false, -1, ""},
        WaitCase{"OnlyOtherType", {{Answer(13, "", "other")}}, false, 13, "other"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaitReply, FirstOfTwoServersSetsTheAddress) {
  if (platform::RunningUnderWine())
    GTEST_SKIP() << "Wine reports a datagram from a socket bound to 127.0.0.2 as sent from 127.0.0.1";
  Responder r(kLoopback, {kLoopback2});
  r.SetAnswers({{Answer(11, "", "second-server"), 1}, {Answer(11, "", "first-server"), 0}});
  auto client = ClientFor(r);
  client->Send(TRequestData{}.ToBytes());
  TReplyData rd;
  ASSERT_TRUE(WaitReply(*client, rd, kMsgSearchAnswer, {}));
  EXPECT_EQ(rd.STomcatIp, "127.0.0.2");
  EXPECT_EQ(rd.SText, "second-server");
}

TEST(WaitReply, StopTestAndWakeEndTheWait) {
  Responder r(kLoopback);
  auto client = ClientFor(r);
  TReplyData rd;
  rd.SMsgType = 99;
  EXPECT_FALSE(WaitReply(*client, rd, kMsgSearchAnswer, [] { return true; }));
  EXPECT_EQ(rd.SMsgType, -1);

  platform::WakeEvent wake;
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    stop = true;
    wake.Signal();
  });
  EXPECT_FALSE(WaitReply(*client, rd, kMsgSearchAnswer, [&] { return stop.load(); }, &wake));
  stopper.join();
}

TEST(UdpClient, SocketErrorsAreRaised) {
  // Port 0 is no destination: the send fails with the system's error.
  auto client = CreateUdpClient({"127.0.0.1", 0, false});
  try {
    client->Send(TRequestData{}.ToBytes());
    FAIL() << "no error";
  } catch (const EOSError& e) {
    // The system's own words after the step, in UTF-8 (Windows words them in its ANSI code page).
    EXPECT_TRUE(testing::EndsInSystemText(e.what())) << e.what();
  }
  EXPECT_THROW(CreateUdpClient({"not an address", 1, false}), EOSError);
}

TEST(UdpClient, BindsToTheGatewaySubnetOnlyOnAPhysicalAdapter) {
  if (!testing::InPrivateNetns()) GTEST_SKIP() << "runs only inside scripts/netns.sh";
  if (platform::RunningUnderWine()) {
    GTEST_SKIP() << "Wine reports every Ethernet-type link, the namespace's veth too, as hardware";
  }
  // The namespace's only link is a veth pair, which is no physical adapter.
  EXPECT_EQ(CreateUdpClient()->BoundAddress(), "");
}

// ---- the direct query ----

class Directional : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/Directional", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      res.status = status_;
      res.set_content(body_, "text/plain");
    });
    port_ = server_.Start();
    ASSERT_GT(port_, 0);
  }
  void Answer(int status, std::string body) {
    std::lock_guard lock(mutex_);
    status_ = status;
    body_ = std::move(body);
  }

  std::mutex mutex_;
  int status_ = 200;
  std::string body_;
  // Last: stopped (and its handler thread joined) before the fields the handler reads go.
  testing::HttpTestServer server_;
  int port_ = 0;
};

TEST_F(Directional, TheServerAnswers) {
  Answer(200, "1,13,10.0.0.5,8080,1,pos/,hello");
  TBroadcastClient client(static_cast<uint16_t>(port_));
  TReplyData rd;
  ASSERT_TRUE(client.HttpDirectional("127.0.0.1", rd));
  EXPECT_EQ(rd.STomcatIp, "127.0.0.1");  // the asked host, not what the server wrote
  EXPECT_EQ(rd.STomcatPort, 8080);
  EXPECT_EQ(rd.SUrl, "pos/");
  EXPECT_EQ(rd.SText, "hello");
}

TEST_F(Directional, BadAnswersFailCleanly) {
  struct Case {
    int status;
    std::string body;
  } cases[] = {
      {200, "1,13,10.0.0.5,8080,1,pos/"},        // six fields
      {200, "1,11,10.0.0.5,8080,1,pos/,hello"},  // not a directional answer
      {500, "1,13,10.0.0.5,8080,1,pos/,hello"},  // an error status
      {404, ""},
      {200, ""},
      {200, "1,13,h,99999999999,1,u,t"},         // huge number
      {200, std::string("\xFF\xFE\x00\x01,13", 7)},
      {200, "1,13,h,80,1,u," + std::string(200 * 1024, 'x')},  // far beyond any record
  };
  TBroadcastClient client(static_cast<uint16_t>(port_));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 40));
    Answer(c.status, c.body);
    TReplyData rd;
    EXPECT_FALSE(client.HttpDirectional("127.0.0.1", rd));
  }
  // Text that is no valid UTF-8 or GBK still gives a record, with replacement characters.
  Answer(200, "1,13,h,80,1,\xFF\xFE\x80,\xE4\xB8");
  TReplyData rd;
  EXPECT_TRUE(client.HttpDirectional("127.0.0.1", rd));
  EXPECT_EQ(rd.STomcatPort, 80);
}

TEST_F(Directional, NobodyListening) {
  TBroadcastClient closed(1);  // nothing listens on port 1
  TReplyData rd;
  EXPECT_FALSE(closed.HttpDirectional("127.0.0.1", rd));
  EXPECT_FALSE(closed.HttpDirectional("", rd));
  if (testing::InPrivateNetns()) {
    TBroadcastClient client(static_cast<uint16_t>(port_));
    EXPECT_FALSE(client.HttpDirectional("10.77.0.99", rd));  // no echo reply: no HTTP at all
  }
}

// A stop comes from the window's thread: it must end a query still waiting for its
// connection to be accepted, and must not wait for the querying thread itself.
TEST(DirectionalStop, AStopEndsAQueryInItsConnectPhaseAtOnce) {
  testing::StalledPort stalled;
  ASSERT_NE(stalled.port, 0);
  TBroadcastClient client(stalled.port);
  std::stop_source stop;
  auto answered = std::async(std::launch::async, [&] {
    TReplyData rd;
    return client.HttpDirectional("127.0.0.1", rd, stop.get_token());
  });
  ASSERT_EQ(answered.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
      << "the stalled port answered";
  const auto start = std::chrono::steady_clock::now();
  stop.request_stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  ASSERT_EQ(answered.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_FALSE(answered.get());
}

}  // namespace
}  // namespace zent
