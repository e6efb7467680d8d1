// The browser tests run inside one QApplication, on the offscreen platform unless the
// environment chooses a display, with the configuration and the logs in the test folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "browser/engine/EngineSetup.h"
#include "common/FileLog.h"

namespace {

// A shown window starts the connect sequence, whose search is a broadcast: outside the private
// namespace these tests would send it to the real network, so they are skipped there.
class NamespaceOnly : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* v = std::getenv("ZENT_NETNS");
    if (!v || std::string(v) != "1") GTEST_SKIP() << "runs only inside scripts/netns.sh";
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new NamespaceOnly);
  const std::string home = std::string(ZENT_TEST_TMP_DIR) + "/browser-home." + std::to_string(::getpid());
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home + "/config");
  std::filesystem::create_directories(home + "/run");
  std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The engine refuses to start its sandbox as root (containers, CI); the tests are that
  // environment, the program itself never turns the sandbox off.
  if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  zent::InitFileLog(home + "/Logs/");
  zent::PrepareEngineBeforeApplication();
  QApplication app(argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(home);
  return result;
}
