// The navigation host list: exact hosts without case, "*." for the names below a domain, the
// server always allowed, and no list meaning no limit.
#include "browser/rules/AllowedHosts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zent {
namespace {

TEST(AllowedHosts, ExactHostsTheServerAndNamesBelowAStarredDomain) {
  const TAllowedHosts hosts("Pay.Example.com, menu.example.net\t*.cdn.example.org  10.0.0.9,[fe80::1],");
  EXPECT_TRUE(hosts.Restricts());
  const struct {
    const char* host;
    bool allowed;
  } cases[] = {
      {"pay.example.com", true},
      {"PAY.EXAMPLE.COM", true},
      {"pay.example.com.", true},
      {"menu.example.net", true},
      {"10.0.0.9", true},
      {"fe80::1", true},
      {"[fe80::1]", true},
      {"img.cdn.example.org", true},
      {"a.b.cdn.example.org", true},
      {"server.local", true},  // the server's own host
      {"SERVER.local", true},
      {"cdn.example.org", false},  // "*." is below the domain only
      {"example.com", false},
      {"x.pay.example.com", false},
      {"pay.example.com.evil.net", false},
      {"evilcdn.example.org", false},
      {"10.0.0.90", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(hosts.Allows(c.host, "server.local"), c.allowed);
  }
  EXPECT_FALSE(hosts.Allows("server.local", ""));  // before a server is known, only the list
}

TEST(AllowedHosts, NoListAllowsEverything) {
  for (const char* list : {"", " , ,\t", "*."}) {
    SCOPED_TRACE(list);
    const TAllowedHosts hosts(list);
    EXPECT_FALSE(hosts.Restricts());
    EXPECT_TRUE(hosts.Allows("anything.example", ""));
  }
}

TEST(AllowedHosts, ReadFromTheKioskSectionOfTheRunOptions) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(ZENT_TEST_TMP_DIR) / "AllowedHosts.Read";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path file = dir / "Lumo7Browser.cnfg";
  std::ofstream(file) << "[Cnfg]\r\nFullScreenOnRun=1\r\n[Kiosk]\r\nAllowedHosts=pay.example.com *.cdn.example.org\r\n";
  const TAllowedHosts hosts = ReadAllowedHosts(file.string());
  EXPECT_TRUE(hosts.Allows("pay.example.com", ""));
  EXPECT_TRUE(hosts.Allows("a.cdn.example.org", ""));
  EXPECT_FALSE(hosts.Allows("example.com", ""));
  EXPECT_FALSE(ReadAllowedHosts((dir / "missing.cnfg").string()).Restricts());
}

}  // namespace
}  // namespace zent
