#include "discovery/FindServer.h"

#include <gtest/gtest.h>

#include "Responder.h"
#include "support/ReportLog.h"
#include "support/SystemErrorText.h"

namespace zent {
namespace {

using namespace std::chrono_literals;
using testing::Responder;

const uint32_t kLoopback = *platform::ParseIPv4("127.0.0.1");

std::vector<uint8_t> Answer(const char* text) {
  TReplyData rd;
  rd.SMsgType = kMsgSearchAnswer;
  rd.STomcatPort = 8080;
  rd.SetUrl("lumo7/");
  rd.SetText(text);
  const auto b = rd.ToBytes();
  return {b.begin(), b.end()};
}

// Collects the reports a finder makes, so a test can wait for them.
struct Report {
  std::string tag;
  bool found;
  TReplyData rd;
  std::string error;
};
class Reports : public testing::ReportLog<Report> {
 public:
  FoundCallback Callback(std::string tag) {
    return [this, tag](bool found, const TReplyData& rd, const std::string& error) {
      Add({tag, found, rd, error});
    };
  }
  bool WaitFor(size_t n) { return ReportLog::WaitFor(n, 10s); }
};

TUdpClientOptions AimedAt(const Responder& r) { return {"127.0.0.1", r.Port(), false}; }

TEST(TFindServerT, ReportsTheAnswer) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  Reports reports;
  TFindServerT finder(AimedAt(server));
  finder.Find(reports.Callback("a"));
  ASSERT_TRUE(reports.WaitFor(1));
  const auto list = reports.List();
  EXPECT_TRUE(list[0].found);
  EXPECT_EQ(list[0].rd.STomcatIp, "127.0.0.1");
  EXPECT_EQ(list[0].rd.STomcatPort, 8080);
  EXPECT_EQ(list[0].rd.SText, "pos");
  EXPECT_EQ(list[0].error, "");
  EXPECT_EQ(server.LastRequest().size(), 112u);

  // A request after a finished search starts a new one.
  ASSERT_TRUE(finder.WaitUntilIdle(10s));
  finder.Find(reports.Callback("b"));
  ASSERT_TRUE(reports.WaitFor(2));
  EXPECT_EQ(reports.List()[1].tag, "b");
  EXPECT_EQ(server.Requests(), 2);
}

TEST(TFindServerT, ARequestDuringASearchIsIgnored) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  server.HoldAnswers();
  Reports reports;
  TFindServerT finder(AimedAt(server));
  finder.Find(reports.Callback("first"));
  ASSERT_TRUE(server.WaitForRequests(1));
  finder.Find(reports.Callback("second"));
  server.Release();
  ASSERT_TRUE(reports.WaitFor(1));
  ASSERT_TRUE(finder.WaitUntilIdle(10s));
  const auto list = reports.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].tag, "first");
  EXPECT_TRUE(list[0].found);
  EXPECT_EQ(server.Requests(), 1);  // one request, one broadcast
}

TEST(TFindServerT, StopDropsTheResult) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  server.HoldAnswers();
  Reports reports;
  {
    TFindServerT finder(AimedAt(server));
    finder.Find(reports.Callback("stopped"));
    ASSERT_TRUE(server.WaitForRequests(1));
    finder.Stop();
    server.Release();  // the answer arrives after the stop
    ASSERT_TRUE(finder.WaitUntilIdle(10s));
    // Once the stopped search has wound down, requests work again.
    finder.Find(reports.Callback("later"));
    ASSERT_TRUE(reports.WaitFor(1));
  }
  const auto list = reports.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].tag, "later");
}

TEST(TFindServerT, NoAnswerReportsNotFound) {
  Responder server(kLoopback);  // answers nothing
  Reports reports;
  TFindServerT finder(AimedAt(server));
  finder.Find(reports.Callback("a"));
  ASSERT_TRUE(reports.WaitFor(1));
  const auto r = reports.List()[0];
  EXPECT_FALSE(r.found);
  EXPECT_EQ(r.rd.SMsgType, -1);
  EXPECT_EQ(r.error, "");
}

TEST(TFindServerT, SocketErrorsAreReportedAndTheFinderGoesOn) {
  Reports reports;
  TFindServerT finder({"127.0.0.1", 0, false});  // port 0: every send fails
  finder.Find(reports.Callback("a"));
  ASSERT_TRUE(reports.WaitFor(1));
  ASSERT_TRUE(finder.WaitUntilIdle(10s));
  finder.Find(reports.Callback("b"));
  ASSERT_TRUE(reports.WaitFor(2));
  for (const auto& r : reports.List()) {
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.error.rfind("广播查找异常: ", 0), 0u) << r.error;
    EXPECT_TRUE(testing::EndsInSystemText(r.error)) << r.error;
  }
}

TEST(TFindServerT, AThrowingCallbackDoesNotEndTheFinder) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  Reports reports;
  TFindServerT finder(AimedAt(server));
  finder.Find([](bool, const TReplyData&, const std::string&) { throw std::runtime_error("x"); });
  ASSERT_TRUE(server.WaitForRequests(1));
  ASSERT_TRUE(finder.WaitUntilIdle(10s));
  finder.Find(reports.Callback("after"));
  ASSERT_TRUE(reports.WaitFor(1));
  EXPECT_TRUE(reports.List()[0].found);
}

TEST(TFindServerT, EndingDuringASearchReportsNothing) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  server.HoldAnswers();
  Reports reports;
  {
    TFindServerT finder(AimedAt(server));
    finder.Find(reports.Callback("a"));
    ASSERT_TRUE(server.WaitForRequests(1));
  }  // the destructor wakes the receive and joins the thread
  server.Release();
  EXPECT_TRUE(reports.List().empty());
}

TEST(TFindServerT, ModuleFunctions) {
  Responder server(kLoopback);
  server.SetAnswers({{Answer("pos")}});
  Reports reports;
  StartFindServer(reports.Callback("before init"));  // no finder yet: nothing happens
  StopFindServer();
  InitializeFindServer(AimedAt(server));
  StartFindServer(reports.Callback("a"));
  ASSERT_TRUE(reports.WaitFor(1));
  FinalizeFindServer();
  StartFindServer(reports.Callback("after end"));
  const auto list = reports.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].tag, "a");
}

// The real search: a broadcast to 255.255.255.255 from this namespace, answered by a server
// on the far side of the veth pair.
TEST(TFindServerT, BroadcastAcrossTheLink) {
  std::unique_ptr<Responder> fast;
  const bool there = testing::RunInPeerNetns([&] {
    fast = std::make_unique<Responder>(0, std::vector<uint32_t>{}, 0);
  });
  if (!there) GTEST_SKIP() << "runs only inside scripts/netns.sh";
  fast->SetAnswers({{Answer("fast")}});
  Reports reports;
  TFindServerT finder({"255.255.255.255", fast->Port(), true});
  finder.Find(reports.Callback("a"));
  ASSERT_TRUE(reports.WaitFor(1));
  const auto r = reports.List()[0];
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.rd.STomcatIp, "10.77.0.1");
  EXPECT_EQ(r.rd.SText, "fast");
}

}  // namespace
}  // namespace zent
