#include "setup/SetupArchive.h"
#include "setup/SetupInstall.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SetupTestSupport.h"
#include "platform/Registry.h"
#include "support/ScopedEnvironment.h"

namespace zent::setup {
namespace {

TEST_F(Installer, DamagedPayloadTouchesNothing) {
  const std::string target = root_ + "installed/";
  Write(target + "Lumo7Browser", "old program", fs::perms(0755));
  {
    std::fstream f(setup_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(20);
    f.put('X');  // one byte of the payload
  }
  std::string error;
  EXPECT_EQ(InstallPayload(setup_, target, error), kSetupDamaged);
  EXPECT_EQ(Read(target + "Lumo7Browser"), "old program");
  EXPECT_EQ(InstallPayload(root_ + "stub", target, error), kSetupDamaged);  // no payload at all
}

TEST_F(Installer, SignedInstallerFindsItsTrailerInFrontOfTheSignature) {
  UpdatePublicKey pub{};
  UpdateSecretKey secret{};
  MakeKeyPair(pub, secret);
  const std::string signedSetup = root_ + "signed.exe";
  WriteInstaller(root_ + "stub", root_ + "prog", "Lumo7Browser", signedSetup, &secret);
  // The signature covers exactly the unsigned installer.
  EXPECT_EQ(Read(signedSetup).substr(0, fs::file_size(setup_)), Read(setup_));
  const SignatureCheck check = VerifyPackageSignature(signedSetup, {{pub, "test"}});
  EXPECT_TRUE(check.valid) << check.reason;
  std::ifstream f(signedSetup, std::ios::binary);
  EXPECT_EQ(InstallerDataSize(f, fs::file_size(signedSetup)), fs::file_size(setup_));

  const std::string target = root_ + "installed/";
  Write(target + "Lumo7Browser", "old program", fs::perms(0755));
  std::string error;
  ASSERT_EQ(InstallPayload(signedSetup, target, error), kSetupOk) << error;
  EXPECT_EQ(Read(target + "Lumo7Browser"), "new program");
  EXPECT_EQ(Read(target + "Lang/zh.lang"), "new language");
}

TEST(SetupNames, OnlyPlainRelativeNamesAreInstalled) {
  for (const char* ok : {"Lumo7Browser", "Lang/zh.lang", "a/b/c", "..x", "x.."}) EXPECT_TRUE(IsSafeEntryName(ok)) << ok;
  for (const char* bad : {"", "/etc/passwd", "../x", "a/../../x", "a//b", "./a", "a/", ".."})
    EXPECT_FALSE(IsSafeEntryName(bad)) << bad;
}

TEST(SetupOptions, SwitchesAndTargetFolder) {
  const SetupOptions o = ParseSetupOptions({"/silent", "/NOCANCEL", "/DIR=/opt/x y", "/SP-"});
  EXPECT_TRUE(o.silent);
  EXPECT_TRUE(o.noCancel);
  EXPECT_EQ(o.dir, "/opt/x y");
  EXPECT_FALSE(ParseSetupOptions({}).silent);
  EXPECT_EQ(ChooseTargetFolder(o, "/opt/lumo7browser/bin/"), "/opt/lumo7browser/bin/");
  EXPECT_EQ(ChooseTargetFolder(o, ""), "/opt/x y");
  EXPECT_EQ(ChooseTargetFolder({}, ""), "");
}

TEST(SetupTarget, RecordedFolderComesFromTheMachineHive) {
  const std::string root = Fresh("hive");
  zent::testing::ScopedRegistryRoot registry(root + "registry");
  EXPECT_EQ(RecordedInstallFolder(), "");
  const std::string installed = root + "opt/lumo7browser/bin/";
  fs::create_directories(installed);
  platform::RegistryKey key;
  ASSERT_FALSE(platform::RegistryKey::Create(
      platform::RegRoot::LocalMachine,
      "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1", key));
  ASSERT_FALSE(key.WriteString("InstallLocation", installed));
  EXPECT_EQ(RecordedInstallFolder(), installed);
  ASSERT_FALSE(key.WriteString("InstallLocation", root + "gone/"));
  EXPECT_EQ(RecordedInstallFolder(), "");  // a folder that no longer exists is no target
  // No target at all: the run does not begin.
  EXPECT_EQ(RunSetup(root + "none", {"/SILENT"}), kSetupNotBegun);
}

}  // namespace
}  // namespace zent::setup
