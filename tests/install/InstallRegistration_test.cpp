#include "install/InstallRegistration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/Utils.h"
#include "platform/Registry.h"
#include "InstallRegistrationTest.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using platform::RegistryKey;
using platform::RegRoot;

TEST_F(InstallRegistrationTest, MissingEntryIsWrittenWithEveryValue) {
  ASSERT_EQ(GetInstallLocation(), "");
  const TInstallInfo info{Folder("app"), "1.2.3.4", "20261210"};
  CheckInstallRegistration(info);

  EXPECT_EQ(GetInstallLocation(), info.folder);
  EXPECT_EQ(Value("InstallLocation"), info.folder);
  EXPECT_EQ(Value("DisplayName"), "Kestra餐饮管理系统 版本 1.2.3.4");
  EXPECT_EQ(Value("DisplayVersion"), "1.2.3.4");
  EXPECT_EQ(Value("InstallDate"), "20261210");
  EXPECT_EQ(Value("Publisher"), "ZENT");
  for (const char* link : {"HelpLink", "URLInfoAbout", "URLUpdateInfo"}) {
    EXPECT_EQ(Value(link), "https://www.example.com/") << link;
  }
  EXPECT_EQ(Dword("NoModify"), 1u);
  EXPECT_EQ(Dword("NoRepair"), 1u);
  EXPECT_EQ(Value("Inno Setup: App Path"), info.folder);
  EXPECT_EQ(Value("Inno Setup: Icon Group"), "Kestra餐饮管理系统");
  EXPECT_EQ(Value("Inno Setup: Language"), "chinesesimp");
  // In the machine's root, not the user's.
  RegistryKey user;
  EXPECT_EQ(RegistryKey::Open(RegRoot::CurrentUser, kUninstallKey, false, user), std::errc::no_such_file_or_directory);
  if (testing::ScopedRegistryRoot::HivesAreFiles()) {
    EXPECT_TRUE(fs::exists(dir_ / "xdg/zent/registry/system.reg"));
  }
}

TEST_F(InstallRegistrationTest, EntryOfAMovedFolderIsRewritten) {
  const std::string old = Folder("old");
  WriteInstallRegistration({old, "1.0.0.0", "20200101"});
  fs::remove_all(old);

  CheckInstallRegistration({Folder("new"), "2.0.0.1", "20261210"});
  EXPECT_EQ(GetInstallLocation(), (dir_ / "new").string() + "/");
  EXPECT_EQ(Value("DisplayVersion"), "2.0.0.1");
  EXPECT_EQ(Value("InstallDate"), "20261210");
}

TEST_F(InstallRegistrationTest, EntryOfAnExistingFolderIsLeftAlone) {
  const std::string other = Folder("other-copy");
  WriteInstallRegistration({other, "1.0.0.0", "20200101"});
  CheckInstallRegistration({Folder("this-copy"), "2.0.0.1", "20261210"});
  EXPECT_EQ(GetInstallLocation(), other);
  EXPECT_EQ(Value("InstallDate"), "20200101");
}

}  // namespace
}  // namespace zent
