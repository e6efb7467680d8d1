// The server connection's decisions without a window: which host needs a search, when a
// search answer names the page in use, where the window starts, and where the disconnect
// notice goes.
#include <gtest/gtest.h>

#include "ServerReply.h"
#include "connection/ConnectRules.h"
#include "connection/DisconnectNotice.h"

namespace zent {
namespace {

TEST(ConnectRules, HostsThatMustBeSearchedFor) {
  const struct {
    const char* host;
    bool unusable;
  } cases[] = {
      {"", true},
      {"192.168.1.255", true},  // broadcast address of its subnet
      {"10.255.3.4", true},     // 255 anywhere counts
      {"0.1.2.3", true},
      {"192.168.1.0", true},
      {"172.16.255.4", true},
      {"192.168.1.25", false},
      {"10.77.0.1", false},
      {"pos-server", false},     // a name is always used as it is
      {"server255.local", false},
      {"::1", false},           // IPv6 addresses are used as they are
      {"192.168.1", false},     // no address: a name as far as the rule goes
  };
  for (const auto& c : cases) EXPECT_EQ(IsHostUnusable(c.host), c.unusable) << c.host;
}

TReplyData Reply(const std::string& ip, uint16_t port, const std::string& url) {
  return ServerReply(ip, port, url, kMsgSearchAnswer);
}

TEST(ConnectRules, SameServerComparesHostAndPathWithoutCaseAndThePortExactly) {
  TServerUri inUse;
  inUse.Set("Pos-Server", 8080, "lumo7/");
  const struct {
    TReplyData reply;
    bool same;
  } cases[] = {
      {Reply("pos-server", 8080, "lumo7/"), true},
      {Reply("POS-SERVER", 8080, "LUMO7/"), true},
      {Reply("pos-server", 8080, "/lumo7/"), true},  // a leading "/" is how the address keeps it
      {Reply("pos-server", 8081, "lumo7/"), false},
      {Reply("other", 8080, "lumo7/"), false},
      {Reply("pos-server", 8080, "lumo8/"), false},
      {Reply("pos-server", 8080, "lumo7"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameServer(inUse, c.reply), c.same) << c.reply.ToString();
  }
}

TEST(ConnectRules, ServerUriFromReplyGivesThePageAddress) {
  EXPECT_EQ(ServerUriFromReply(Reply("10.0.0.5", 8080, "pos/")).PageAddress(), "http://10.0.0.5:8080/pos/");
  EXPECT_EQ(ServerUriFromReply(Reply("10.0.0.5", 80, "")).PageAddress(), "http://10.0.0.5/");
}

TEST(ServerUri, PageAddressLeavesOutDefaultPorts) {
  TServerUri uri;
  EXPECT_EQ(uri.PageAddress(), "http:///");
  uri.Set("10.0.0.5", 8080, "lumo7/");
  EXPECT_EQ(uri.PageAddress(), "http://10.0.0.5:8080/lumo7/");
  uri.Set("10.0.0.5", 80, "");
  EXPECT_EQ(uri.PageAddress(), "http://10.0.0.5/");
  uri.scheme = "https";
  uri.Set("h", 443, "/p");
  EXPECT_EQ(uri.PageAddress(), "https://h/p");
}

TEST(ServerUri, EffectivePortIsTheSchemesDefaultWhenUnset) {
  TServerUri uri;
  EXPECT_EQ(uri.EffectivePort(), 80);
  uri.scheme = "https";
  EXPECT_EQ(uri.EffectivePort(), 443);
  uri.Set("h", 8080, "/");
  EXPECT_EQ(uri.EffectivePort(), 8080);
}

TEST(DisconnectNotice, GoesBelowTheConfiguredApplication) {
  const struct {
    ServerConfig config;
    const char* url;  // empty: no notice
  } cases[] = {
      {{"10.0.0.5", 8080, "lumo7/"}, "http://10.0.0.5:8080/lumo7/dbi/lumo7server/product/disconnect"},
      {{"10.0.0.5", 8080, "lumo7"}, "http://10.0.0.5:8080/lumo7/dbi/lumo7server/product/disconnect"},
      {{"10.0.0.5", 8080, ""}, "http://10.0.0.5:8080/dbi/lumo7server/product/disconnect"},
      {{"10.0.0.5", 80, "a/b/"}, "http://10.0.0.5:80/a/b/dbi/lumo7server/product/disconnect"},
      {{"  10.0.0.5 ", 8080, "lumo7/"}, "http://10.0.0.5:8080/lumo7/dbi/lumo7server/product/disconnect"},
      // Bytes that may not stand in a request line are escaped, never sent raw.
      {{"h", 1, "a b/菜"}, "http://h:1/a%20b/%E8%8F%9C/dbi/lumo7server/product/disconnect"},
      {{"h", 1, "x\r\nX-Evil: 1"}, "http://h:1/x%0D%0AX-Evil:%201/dbi/lumo7server/product/disconnect"},
      {{"", 8080, "lumo7/"}, ""},
      {{" \t ", 8080, "lumo7/"}, ""},
  };
  for (const auto& c : cases) {
    const auto notice = DisconnectNoticeFor(c.config);
    if (std::string(c.url).empty()) {
      EXPECT_FALSE(notice) << "[" << c.config.host << "]";
    } else {
      ASSERT_TRUE(notice) << c.url;
      EXPECT_EQ(notice->Url(), c.url);
    }
  }
}

TEST(DisconnectNotice, HeaderValuesCannotStartHeadersOfTheirOwn) {
  EXPECT_EQ(HeaderSafeValue("{}"), "{}");
  EXPECT_EQ(HeaderSafeValue("{\"user\":\"王\"}"), "{\"user\":\"王\"}");
  EXPECT_EQ(HeaderSafeValue("{\r\n  \"a\": 1\n}"), "{    \"a\": 1 }");
  EXPECT_EQ(HeaderSafeValue(std::string("a\0b\x7f", 4)), "a b ");
}

}  // namespace
}  // namespace zent
