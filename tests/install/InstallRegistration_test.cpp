#include "install/InstallRegistration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "common/Utils.h"
#include "platform/Registry.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using platform::RegistryKey;
using platform::RegRoot;

// Every test gets its own machine hive (the first folder of XDG_CONFIG_DIRS).
class InstallRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "install" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "xdg");
    const char* old = std::getenv("XDG_CONFIG_DIRS");
    if (old) oldDirs_ = old;
    hadDirs_ = old != nullptr;
    ::setenv("XDG_CONFIG_DIRS", ((dir_ / "xdg").string() + ":/etc/xdg").c_str(), 1);
  }
  void TearDown() override {
    if (hadDirs_) ::setenv("XDG_CONFIG_DIRS", oldDirs_.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_DIRS");
  }

  std::string Folder(const std::string& name) {
    fs::create_directories(dir_ / name);
    return (dir_ / name).string() + "/";
  }

  static std::string Value(const char* name) {
    RegistryKey key;
    if (RegistryKey::Open(RegRoot::LocalMachine, kUninstallKey, false, key)) return "<no key>";
    std::string value;
    return key.ReadString(name, value) ? "<none>" : value;
  }
  static uint32_t Dword(const char* name) {
    RegistryKey key;
    uint32_t value = 0xDEAD;
    if (!RegistryKey::Open(RegRoot::LocalMachine, kUninstallKey, false, key)) key.ReadDword(name, value);
    return value;
  }

  fs::path dir_;
  std::string oldDirs_;
  bool hadDirs_ = false;
};

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
  // In the machine hive the environment names.
  EXPECT_TRUE(fs::exists(dir_ / "xdg/zent/registry/system.reg"));
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

TEST_F(InstallRegistrationTest, ALinkToAFolderDoesNotCount) {
  const std::string target = Folder("target");
  fs::create_directory_symlink(target, dir_ / "link");
  WriteInstallRegistration({(dir_ / "link").string() + "/", "1.0.0.0", "20200101"});
  CheckInstallRegistration({target, "2.0.0.1", "20261210"});
  EXPECT_EQ(GetInstallLocation(), target);
}

TEST_F(InstallRegistrationTest, HiveWithoutWriteAccessLetsTheStartGoOn) {
  // A hive folder below a plain file can never be created, whoever we are.
  std::ofstream(dir_ / "plain") << "x";
  ::setenv("XDG_CONFIG_DIRS", (dir_ / "plain" / "xdg").string().c_str(), 1);
  EXPECT_NO_THROW(CheckInstallRegistration({Folder("app"), "1.0.0.0", "20261210"}));
  EXPECT_EQ(GetInstallLocation(), "");
}

TEST_F(InstallRegistrationTest, RunningProgramRegistersItsFolderVersionAndToday) {
  const TInstallInfo info = CurrentInstallInfo();
  EXPECT_EQ(info.folder, GetAppFolder());
  EXPECT_EQ(info.version, GetAppVersion());
  ASSERT_FALSE(info.version.empty());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char today[16];
  std::strftime(today, sizeof today, "%Y%m%d", &local);
  EXPECT_EQ(info.installDate, today);

  CheckInstallRegistration();
  EXPECT_EQ(GetInstallLocation(), GetAppFolder());
  EXPECT_EQ(Value("DisplayVersion"), GetAppVersion());
}

}  // namespace
}  // namespace zent
