// The system install's target rules: root installs only into a folder no one else may change,
// shown with POSIX owners, modes and links, so these cases run on Linux only.
#include <gtest/gtest.h>

#include "setup/SetupTestSupport.h"

namespace zent::setup {
namespace {

TEST(SetupSystemInstall, RootWithDirInstallsOnlyThereAndOnlyIntoAFolderNobodyElseMayChange) {
  SetupOptions o = ParseSetupOptions({"/SILENT", "/DIR=/opt/lumo7browser/bin"});
  EXPECT_TRUE(IsSystemInstall(o, 0));
  EXPECT_FALSE(IsSystemInstall(o, 1000));
  EXPECT_FALSE(IsSystemInstall(ParseSetupOptions({"/SILENT"}), 0));
  // The installed-programs entry (a hive the kiosk group may write) does not steer root.
  EXPECT_EQ(ChooseTargetFolder(o, "/etc/", true), "/opt/lumo7browser/bin");
  EXPECT_EQ(ChooseTargetFolder(o, "/home/kiosk/bin/", false), "/home/kiosk/bin/");

  const std::string root = Fresh("system");
  const uint32_t me = ::geteuid();
  fs::create_directories(root + "opt/bin");
  EXPECT_EQ(WhySystemTargetRefused(root + "opt/bin", me), "");
  EXPECT_EQ(WhySystemTargetRefused(root + "opt/new", me), "") << "a missing last folder is made";
  EXPECT_NE(WhySystemTargetRefused(root + "opt/new/deeper", me), "");
  EXPECT_NE(WhySystemTargetRefused("relative/bin", me), "");
  fs::permissions(root + "opt/bin", fs::perms(02775));
  EXPECT_NE(WhySystemTargetRefused(root + "opt/bin", me).find("writable by group or others"), std::string::npos);
  fs::permissions(root + "opt/bin", fs::perms(0755));
  fs::permissions(root + "opt", fs::perms(0757));
  EXPECT_NE(WhySystemTargetRefused(root + "opt/bin", me).find(root + "opt: writable"), std::string::npos);
  fs::permissions(root + "opt", fs::perms(0755));
  fs::create_directory_symlink(root + "opt/bin", root + "link");
  EXPECT_NE(WhySystemTargetRefused(root + "link", me).find("a link"), std::string::npos);
}

}  // namespace
}  // namespace zent::setup
