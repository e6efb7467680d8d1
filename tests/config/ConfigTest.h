// The fixture of the configuration tests: every case gets its own empty configuration
// folder and registry.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/FsPath.h"
#include "platform/Process.h"
#include "support/ScopedEnvironment.h"

namespace zent {

inline std::string Get(const std::string& path) {
  std::ifstream in(platform::FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A registry, a roaming folder and a home of the case's own; the configuration file is
// not there yet.
class ConfigTest : public ::testing::Test {
 protected:
  ConfigTest()
      : root_(FreshFolder()),
        registry_(root_ / "reg"),
        appData_(root_ / "xdg"),
        home_("HOME", (root_ / "home").string()) {
    std::filesystem::create_directories(root_ / "xdg");
  }
  ~ConfigTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  static std::filesystem::path FreshFolder() {
    const std::filesystem::path root =
        std::filesystem::path(ZENT_TEST_TMP_DIR) /
        (std::string("config_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
         std::to_string(platform::CurrentProcessId()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return root;
  }

  std::string ConfigFile() const { return (root_ / "xdg" / "ZentLumo7" / "Lumo7BrowserCfg.ini").string(); }
  void PutConfig(const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(ConfigFile()).parent_path());
    std::ofstream(ConfigFile(), std::ios::binary) << bytes;
  }

  std::filesystem::path root_;
  testing::ScopedRegistryRoot registry_;
  testing::ScopedAppDataFolder appData_;
  testing::ScopedEnvironmentValue home_;
};

}  // namespace zent
