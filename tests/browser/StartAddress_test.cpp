// Where the window's connection starts, and the start addresses it refuses.
#include <gtest/gtest.h>

#include "browser/engine/StartAddress.h"

namespace zent {
namespace {

TEST(StartAddress, FirstMatchWins) {
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

TEST(StartAddress, ThatIsNoAbsoluteAddressFailsNamingIt) {
  for (const char* bad : {"10.0.0.7/lumo7/", "lumo7", "http://", "http:lumo7", "http://[::1/x", "://x"}) {
    try {
      ChooseStartAddress(bad, "10.0.0.8", ServerConfig{});
      ADD_FAILURE() << bad << " was accepted";
    } catch (const EUriError& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace zent
