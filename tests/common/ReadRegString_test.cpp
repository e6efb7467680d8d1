// ReadRegString over a private user hive: found values, missing keys and values, and no
// hive created by reading.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "common/Utils.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

// Points the user hive into a fresh folder for the test and restores the environment after.
class ReadRegStringTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "regread";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }
  fs::path dir_;
  std::optional<std::string> saved_;
};

TEST_F(ReadRegStringTest, ReadsExistingValuesAndLeavesTheOutTextOtherwise) {
  const auto root = platform::RegRoot::CurrentUser;
  std::string value = "untouched";
  EXPECT_FALSE(ReadRegString(root, "SOFTWARE\\ZENT", "MachineGuid", value));
  EXPECT_EQ(value, "untouched");
  EXPECT_FALSE(fs::exists(platform::RegistryKey::HivePath(root))) << "reading created the hive";

  platform::RegistryKey key;
  ASSERT_FALSE(platform::RegistryKey::Create(root, "SOFTWARE\\ZENT", key));
  ASSERT_FALSE(key.WriteString("MachineGuid", "{1234-收银}"));

  EXPECT_TRUE(ReadRegString(root, "software\\zent", "MachineGuid", value));
  EXPECT_EQ(value, "{1234-收银}");
  value = "untouched";
  EXPECT_FALSE(ReadRegString(root, "SOFTWARE\\ZENT", "Other", value));
  EXPECT_FALSE(ReadRegString(root, "SOFTWARE\\ZENT\\Sub", "MachineGuid", value));
  EXPECT_EQ(value, "untouched");
}

}  // namespace
}  // namespace zent
