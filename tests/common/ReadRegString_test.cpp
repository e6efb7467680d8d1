// ReadRegString over a private user hive: found values, missing keys and values, and no
// hive created by reading.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Utils.h"
#include "support/ScopedEnvironment.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

// A private registry for the test.
class ReadRegStringTest : public ::testing::Test {
 protected:
  ReadRegStringTest() : dir_(fs::path(ZENT_TEST_TMP_DIR) / "regread"), registry_((fs::remove_all(dir_), dir_)) {}
  fs::path dir_;
  testing::ScopedRegistryRoot registry_;
};

TEST_F(ReadRegStringTest, ReadsExistingValuesAndLeavesTheOutTextOtherwise) {
  const auto root = platform::RegRoot::CurrentUser;
  std::string value = "untouched";
  EXPECT_FALSE(ReadRegString(root, "SOFTWARE\\ZENT", "MachineGuid", value));
  EXPECT_EQ(value, "untouched");
  platform::RegistryKey probe;
  EXPECT_EQ(platform::RegistryKey::Open(root, "SOFTWARE", false, probe), std::errc::no_such_file_or_directory)
      << "reading created a key";
  if (testing::ScopedRegistryRoot::HivesAreFiles()) {
    EXPECT_FALSE(fs::exists(platform::RegistryKey::HivePath(root))) << "reading created the hive";
  }

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
