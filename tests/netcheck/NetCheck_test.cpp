#include "netcheck/NetCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/LoopbackListener.h"
#include "common/FileLog.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Listener = testing::LoopbackListener;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A fresh folder per test under the build's test folder.
class NetCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "netcheck" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { FinalizeNetCheck(); }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  // The entries of every "NetCheck" log below the test's log root, without their stamps.
  std::vector<std::string> NetCheckLines() {
    std::vector<std::string> lines;
    if (!fs::exists(dir_ / "Logs")) return lines;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "Logs")) {
      if (e.path().filename() != "NetCheck.log") continue;
      std::ifstream in(e.path());
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // entries end in CR LF
        const size_t text = line.find("] ", line.find(']') + 1);
        if (line.find(" - ") != std::string::npos && text != std::string::npos) lines.push_back(line.substr(text + 2));
      }
    }
    return lines;
  }

  // Waits until the log holds `n` state lines; false after a generous guard time.
  bool WaitLines(size_t n) {
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
      if (NetCheckLines().size() >= n) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  fs::path dir_;
};

TEST(ParseNetCheckEndpointTest, HostWithOptionalPort) {
  struct Case {
    const char* text;
    std::optional<TNetCheckEndpoint> want;
  } cases[] = {
      {"www.example.com", TNetCheckEndpoint{"www.example.com", 80}},
      {"10.77.0.1:8080", TNetCheckEndpoint{"10.77.0.1", 8080}},
      {"host:65535", TNetCheckEndpoint{"host", 65535}},
      {"", std::nullopt},
      {":80", std::nullopt},
      {"host:", std::nullopt},
      {"host:0", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:80x", std::nullopt},
      {"host:-1", std::nullopt},
      {"a b:80", std::nullopt},
      {"::1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNetCheckEndpoint(c.text), c.want) << c.text;
}

TEST_F(NetCheckTest, RunOptionsChangeTheWatchedEndpoints) {
  const TNetCheckTargets defaults;
  EXPECT_TRUE(defaults.publicSite && defaults.cloudApi);

  const auto missing = ReadNetCheckTargets((dir_ / "none.cnfg").string());
  EXPECT_EQ(missing.publicSite, defaults.publicSite);
  EXPECT_EQ(missing.cloudApi, defaults.cloudApi);

  const auto set = ReadNetCheckTargets(
      WriteFile("a.cnfg", "[Cnfg]\nFullScreenOnRun=1\n[NetCheck]\nPublicSite=10.77.0.1:8080\nCloudApi=\n"));
  EXPECT_EQ(set.publicSite, (TNetCheckEndpoint{"10.77.0.1", 8080}));
  EXPECT_EQ(set.cloudApi, std::nullopt);

  const auto bad = ReadNetCheckTargets(WriteFile("b.cnfg", "[netcheck]\npublicsite=x:99999\ncloudapi=api.local\n"));
  EXPECT_EQ(bad.publicSite, defaults.publicSite);
  EXPECT_EQ(bad.cloudApi, (TNetCheckEndpoint{"api.local", 80}));
}

TEST_F(NetCheckTest, LogsEachEndpointOnceAndFollowsTheServer) {
  InitFileLog((dir_ / "Logs").string());
  Listener site, first, second;
  ASSERT_TRUE(site.Open());
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  const auto line = [](const char* host, const Listener& l, const char* state) {
    return std::string(host) + ":" + std::to_string(l.Port()) + " - 127.0.0.1 - " + state;
  };

  // A server set before the start joins the watch with it.
  SetNetCheckServer("LocalHost", first.Port());
  TNetCheckTargets targets;
  targets.publicSite = TNetCheckEndpoint{"127.0.0.1", site.Port()};
  targets.cloudApi.reset();
  StartNetCheck(targets);
  StartNetCheck(targets);  // once per process
  ASSERT_TRUE(WaitLines(2));
  std::this_thread::sleep_for(2500ms);  // another pass: nothing changed, nothing logged
  EXPECT_THAT(NetCheckLines(),
              ElementsAre(line("127.0.0.1", site, "正常"), line("LocalHost", first, "正常")));

  // The same server in another letter case is no change; a new one replaces the old.
  SetNetCheckServer("localhost", first.Port());
  SetNetCheckServer("127.0.0.1", second.Port());
  ASSERT_TRUE(WaitLines(3));
  first.Close();  // no longer watched
  std::this_thread::sleep_for(2500ms);
  EXPECT_THAT(NetCheckLines(), ElementsAre(line("127.0.0.1", site, "正常"), line("LocalHost", first, "正常"),
                                           line("127.0.0.1", second, "正常")));

  site.Close();
  ASSERT_TRUE(WaitLines(4));
  EXPECT_EQ(NetCheckLines().back(), line("127.0.0.1", site, "无法连接"));
}

}  // namespace
}  // namespace zent
