// The connect sequence's decisions, event by event: what follows a start, a direct query's
// answer, a search report, a retry tick, a failed page and the address dialog, and which
// address is in use afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "ServerReply.h"
#include "connection/ConnectSteps.h"

namespace zent {
namespace {

TReplyData Reply(const std::string& ip, uint16_t port, const std::string& url) {
  return ServerReply(ip, port, url, kMsgDirectionalAnswer);
}

TServerUri Uri(const std::string& host, uint16_t port = 0, const std::string& path = "/") {
  TServerUri uri;
  uri.Set(host, port, path);
  return uri;
}

constexpr TConnectActions kNothing{};
constexpr TConnectActions kQuery{.query = true};
constexpr TConnectActions kSearch{.search = true};
constexpr TConnectActions kOpen{.openPage = true};
constexpr TConnectActions kRetry{.retry = true};
constexpr TConnectActions kAnnounceOpen{.announce = true, .openPage = true};
constexpr TConnectActions kAnnounceSearch{.announce = true, .search = true};
constexpr TConnectActions kSearchRetry{.search = true, .retry = true};

std::string Describe(const TConnectActions& a) {
  std::string text;
  if (a.announce) text += "announce ";
  if (a.query) text += "query ";
  if (a.search) text += "search ";
  if (a.openPage) text += "open ";
  if (a.retry) text += "retry ";
  return text.empty() ? "nothing" : text;
}

TEST(ConnectSteps, EveryEventDecidesTheNextStepAndTheAddress) {
  using Event = std::function<TConnectActions(TConnectSteps&)>;
  const auto begin = [](TServerUri start, bool fix) {
    return [=](TConnectSteps& s) { return s.Begin(start, fix); };
  };
  const TReplyData server = Reply("10.0.0.5", 8080, "lumo7/");
  const struct {
    const char* what;
    std::vector<Event> before;  // brings the steps into the case's state
    Event event;
    TConnectActions next;
    const char* page;  // the page address afterwards
  } cases[] = {
      {"a usable start host is asked directly", {}, begin(Uri("10.0.0.5", 8080, "lumo7/"), false), kQuery,
       "http://10.0.0.5:8080/lumo7/"},
      {"no configured host: a search at once", {}, begin(Uri(""), false), kAnnounceSearch, "http:///"},
      {"a broadcast address is searched for, never asked", {}, begin(Uri("192.168.1.255", 8080), true),
       kAnnounceSearch, "http://192.168.1.255:8080/"},
      {"the start's answer replaces the configured address",
       {begin(Uri("10.0.0.5", 9999, "old/"), false)},
       [&](TConnectSteps& s) { return s.Answered(QueryPurpose::Start, server); }, kAnnounceOpen,
       "http://10.0.0.5:8080/lumo7/"},
      {"no answer and no fixed host: the address is cleared and searched for",
       {begin(Uri("10.0.0.5", 8080, "lumo7/"), false)},
       [](TConnectSteps& s) { return s.Answered(QueryPurpose::Start, std::nullopt); }, kAnnounceSearch, "http:///"},
      {"no answer from a fixed host: its page is opened as it is",
       {begin(Uri("10.0.0.5"), true)},
       [](TConnectSteps& s) { return s.Answered(QueryPurpose::Start, std::nullopt); }, kAnnounceOpen,
       "http://10.0.0.5/"},
      {"nothing found: retry", {begin(Uri(""), false)},
       [](TConnectSteps& s) { return s.SearchReport(false, TReplyData{}); }, kRetry, "http:///"},
      {"found: its page opens", {begin(Uri(""), false)},
       [&](TConnectSteps& s) { return s.SearchReport(true, server); }, kOpen, "http://10.0.0.5:8080/lumo7/"},
      {"found the page in use: it stays",
       {begin(Uri(""), false), [&](TConnectSteps& s) { return s.SearchReport(true, server); },
        [](TConnectSteps& s) { s.PageOpened(); return kNothing; }},
       [&](TConnectSteps& s) { return s.SearchReport(true, Reply("10.0.0.5", 8080, "LUMO7/")); }, kNothing,
       "http://10.0.0.5:8080/lumo7/"},
      {"found the page in use while it fails to load: asked for again",
       {begin(Uri(""), false), [&](TConnectSteps& s) { return s.SearchReport(true, server); },
        [](TConnectSteps& s) { s.PageOpened(); return s.PageFailed(); }},
       [&](TConnectSteps& s) { return s.SearchReport(true, server); }, kOpen, "http://10.0.0.5:8080/lumo7/"},
      {"a failed page retries", {begin(Uri("10.0.0.5"), true)}, [](TConnectSteps& s) { return s.PageFailed(); },
       kRetry, "http://10.0.0.5/"},
      {"tick without a fixed host: search", {begin(Uri(""), false)},
       [](TConnectSteps& s) { return s.RetryTick(); }, kSearch, "http:///"},
      {"tick with a fixed host: ask it again", {begin(Uri("10.0.0.5"), true)},
       [](TConnectSteps& s) { return s.RetryTick(); }, kQuery, "http://10.0.0.5/"},
      {"tick with a fixed but unusable host: search", {begin(Uri("10.0.0.0"), true)},
       [](TConnectSteps& s) { return s.RetryTick(); }, kSearch, "http://10.0.0.0/"},
      {"tick once connected: nothing", {begin(Uri("10.0.0.5"), true), [](TConnectSteps& s) {
                                          s.Connected();
                                          return kNothing;
                                        }},
       [](TConnectSteps& s) { return s.RetryTick(); }, kNothing, "http://10.0.0.5/"},
      {"the fixed host's retry answered: its page opens", {begin(Uri("10.0.0.5"), true)},
       [&](TConnectSteps& s) { return s.Answered(QueryPurpose::Retry, server); }, kOpen,
       "http://10.0.0.5:8080/lumo7/"},
      {"the fixed host's retry unanswered: again in a second", {begin(Uri("10.0.0.5"), true)},
       [](TConnectSteps& s) { return s.Answered(QueryPurpose::Retry, std::nullopt); }, kRetry, "http://10.0.0.5/"},
      {"dialog, automatic search: search and retry", {begin(Uri("10.0.0.5"), true)},
       [](TConnectSteps& s) { return s.ConnectTo(""); }, kSearchRetry, "http:///"},
      {"dialog, a new host: asked directly", {begin(Uri("10.0.0.5"), true)},
       [](TConnectSteps& s) { return s.ConnectTo("10.0.0.6"); }, kQuery, "http://10.0.0.6/"},
      {"dialog, an unusable host not fixed: cleared, searched, retried", {begin(Uri("10.0.0.5"), false)},
       [](TConnectSteps& s) { return s.ConnectTo("10.0.0.255"); }, kSearchRetry, "http:///"},
      {"dialog's answer: no announcement, the page opens", {begin(Uri("10.0.0.5"), false)},
       [&](TConnectSteps& s) { return s.Answered(QueryPurpose::Dialog, server); }, kOpen,
       "http://10.0.0.5:8080/lumo7/"},
      {"dialog's host unanswered and not fixed: search and retry", {begin(Uri("10.0.0.5"), false)},
       [](TConnectSteps& s) { return s.Answered(QueryPurpose::Dialog, std::nullopt); }, kSearchRetry, "http:///"},
  };
  for (const auto& c : cases) {
    TConnectSteps steps;
    for (const auto& e : c.before) e(steps);
    const TConnectActions next = c.event(steps);
    EXPECT_EQ(Describe(next), Describe(c.next)) << c.what;
    EXPECT_EQ(steps.Uri().PageAddress(), c.page) << c.what;
  }
}

TEST(ConnectSteps, AutomaticSearchInTheDialogLooksForTheFirstPageAgain) {
  TConnectSteps steps;
  steps.Begin(Uri("10.0.0.5"), true);
  steps.Connected();
  EXPECT_FALSE(steps.ContinuousFind());
  steps.SetFixHost(true);
  steps.ConnectTo("");
  EXPECT_TRUE(steps.ContinuousFind());
  EXPECT_FALSE(steps.FixHost());  // a search has no fixed host
}

TEST(ConnectSteps, TheDialogStartsFromAUsableHostOnlyAndKeepsTheSameHost) {
  TConnectSteps steps;
  steps.Begin(Uri("Pos-Server", 8080), false);
  EXPECT_EQ(steps.DialogHost(), "Pos-Server");
  EXPECT_FALSE(steps.NewServer("pos-server"));
  EXPECT_TRUE(steps.NewServer("other"));
  EXPECT_TRUE(steps.NewServer(""));  // automatic search always starts over
  steps.Begin(Uri("10.1.1.255"), false);
  EXPECT_EQ(steps.DialogHost(), "");
}

TEST(ConnectSteps, ThePageToLoadFollowsTheRole) {
  const TServerUri server = Uri("10.0.0.5", 8080, "lumo7/");
  const struct {
    TPageChoice choice;
    const char* page;
    bool watches;
  } cases[] = {
      {{}, "http://10.0.0.5:8080/lumo7/", true},
      {{false, "", "http://10.0.0.7/x?y=1"}, "http://10.0.0.7/x?y=1", false},
      {{true, "sub/screen.html", ""}, "http://10.0.0.5:8080/lumo7/sub/screen.html", false},
  };
  for (const auto& c : cases) {
    TConnectSteps steps(c.choice);
    steps.Begin(server, true);
    EXPECT_EQ(steps.PageToLoad(), c.page);
    EXPECT_EQ(steps.WatchesServer(), c.watches) << c.page;
  }
}

}  // namespace
}  // namespace zent
