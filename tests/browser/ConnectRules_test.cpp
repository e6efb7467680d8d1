// The server connection's decisions without a window: which host needs a search, when a
// search answer names the page in use, where the window starts, and where the disconnect
// notice goes.
#include <gtest/gtest.h>

#include "browser/ConnectRules.h"
#include "browser/DisconnectNotice.h"

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
  TReplyData rd;
  rd.SMsgType = kMsgSearchAnswer;
  rd.STomcatIp = ip;
  rd.STomcatPort = port;
  rd.SUrl = url;
  return rd;
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

TEST(ConnectRules, StartAddressFirstMatchWins) {
  const ServerConfig config{"10.0.0.9", 8080, "lumo7/"};
  const struct {
    const char* paramUrl;
    const char* hostText;
    StartSource source;
    const char* host;
    uint16_t port;
    const char* path;
    const char* logLine;
    uint16_t watchPort;
  } cases[] = {
      {"http://10.0.0.7:9000/lumo7/x?y=1", "10.0.0.8", StartSource::ParamUrl, "10.0.0.7", 0, "/",
       "ParamURL: http://10.0.0.7:9000/lumo7/x?y=1", 9000},
      {"http://Pos.Example/", "", StartSource::ParamUrl, "pos.example", 0, "/", "ParamURL: http://Pos.Example/", 80},
      {"https://pos.example/a", "", StartSource::ParamUrl, "pos.example", 0, "/", "ParamURL: https://pos.example/a", 443},
      {"", "10.0.0.8", StartSource::ParamHost, "10.0.0.8", 0, "/", "ParamHost: 10.0.0.8", 0},
      {"", "", StartSource::Config, "10.0.0.9", 8080, "/lumo7/", "Conofig: 10.0.0.9:8080", 0},
  };
  for (const auto& c : cases) {
    const TStartAddress start = ChooseStartAddress(c.paramUrl, c.hostText, config);
    EXPECT_EQ(start.source, c.source) << c.paramUrl;
    EXPECT_EQ(start.uri.host, c.host) << c.paramUrl;
    EXPECT_EQ(start.uri.port, c.port) << c.paramUrl;
    EXPECT_EQ(start.uri.path, c.path) << c.paramUrl;
    EXPECT_EQ(start.uri.scheme, "http") << c.paramUrl;
    EXPECT_EQ(start.logLine, c.logLine);
    EXPECT_EQ(start.watchPort, c.watchPort) << c.paramUrl;
  }
}

TEST(ConnectRules, StartAddressThatIsNoAbsoluteAddressFailsNamingIt) {
  for (const char* bad : {"10.0.0.7/lumo7/", "lumo7", "http://", "http:lumo7", "http://[::1/x", "://x"}) {
    try {
      ChooseStartAddress(bad, "10.0.0.8", ServerConfig{});
      ADD_FAILURE() << bad << " was accepted";
    } catch (const EUriError& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
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
