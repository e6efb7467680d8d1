// Install registration against what only POSIX shows: a symbolic link to a folder (Windows
// asks for a privilege to make one), a machine hive whose folder can never be created, and
// the running program's own version (the Linux build stamps it into every program as an ELF
// note; the Windows test programs carry no version resource).
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "../InstallRegistrationTest.h"
#include "common/Utils.h"
#include "install/InstallRegistration.h"
#include "platform/LocalTime.h"
#include "support/ScopedEnvironment.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

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
  testing::ScopedEnvironmentValue dirs("XDG_CONFIG_DIRS", (dir_ / "plain" / "xdg").string());
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
  ASSERT_TRUE(platform::ToLocalTime(now, local));
  char today[16];
  std::strftime(today, sizeof today, "%Y%m%d", &local);
  EXPECT_EQ(info.installDate, today);

  CheckInstallRegistration();
  EXPECT_EQ(GetInstallLocation(), GetAppFolder());
  EXPECT_EQ(Value("DisplayVersion"), GetAppVersion());
}

}  // namespace
}  // namespace zent
