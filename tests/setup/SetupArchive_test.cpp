#include "setup/SetupArchive.h"
#include "setup/SetupInstall.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Registry.h"

namespace zent::setup {
namespace {

namespace fs = std::filesystem;

std::string Fresh(const std::string& name) {
  const fs::path p = fs::path(ZENT_TEST_TMP_DIR) / "setup" / (name + "." + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string() + "/";
}

void Write(const fs::path& p, const std::string& bytes, fs::perms mode = fs::perms(0644)) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
  fs::permissions(p, mode);
}

std::string Read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A program folder with a sub-folder, an executable and the files that never ship.
class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = Fresh(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Write(root_ + "stub", "#!/bin/sh\nexit 0\n", fs::perms(0755));
    Write(root_ + "prog/Lumo7Browser", "new program", fs::perms(0700));
    Write(root_ + "prog/Lang/zh.lang", "new language");
    Write(root_ + "prog/Logs/2026-12-10/x.log", "log");
    Write(root_ + "prog/Lumo7Browser.cnfg", "[Cnfg]");
    Write(root_ + "prog/UpdateCmd.sh", "script");
    setup_ = root_ + "setup.exe";
    WriteInstaller(root_ + "stub", root_ + "prog", "Lumo7Browser", setup_);
  }

  std::string root_, setup_;
};

TEST_F(Installer, CarriesTheProgramFolderAfterTheStub) {
  EXPECT_EQ(Read(setup_).rfind("#!/bin/sh\nexit 0\n", 0), 0u);
  std::ifstream f(setup_, std::ios::binary);
  Trailer t;
  ASSERT_TRUE(ReadTrailer(f, fs::file_size(setup_), t));
  ASSERT_TRUE(VerifyPayload(f, t));
  std::vector<std::string> names;
  ReadPayload(
      f, t, [&](const PayloadEntry& e) { names.push_back(e.name + "/"); },
      [&](const PayloadEntry& e, const FileReader&) { names.push_back(e.name + ":" + std::to_string(e.mode)); });
  // Logs, run options and scripts stay behind; the program comes last.
  EXPECT_EQ(names, (std::vector<std::string>{"Lang/", "Lang/zh.lang:420", "Lumo7Browser:493"}));
}

TEST_F(Installer, ReplacesTheProgramAndKeepsEverythingElse) {
  const std::string target = root_ + "installed/bin/";
  Write(target + "Lumo7Browser", "old program", fs::perms(0755));
  Write(target + "Lumo7Browser.cnfg", "[Cnfg]\nFullScreenOnRun=1");
  Write(target + ".Lumo7Setup.999/half", "left by an interrupted run");
  std::string error;
  ASSERT_EQ(InstallPayload(setup_, target, error), kSetupOk) << error;
  EXPECT_EQ(Read(target + "Lumo7Browser"), "new program");
  EXPECT_EQ(fs::status(target + "Lumo7Browser").permissions() & fs::perms(0777), fs::perms(0755));
  EXPECT_EQ(Read(target + "Lang/zh.lang"), "new language");
  EXPECT_EQ(Read(target + "Lumo7Browser.cnfg"), "[Cnfg]\nFullScreenOnRun=1");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(target)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Lang", "Lumo7Browser", "Lumo7Browser.cnfg"}));
}

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

TEST_F(Installer, PayloadModesNeverLetGroupOrOthersWrite) {
  // A payload written by another tool may carry any bits; what lands on disk is at most 0755.
  std::string bytes = Read(setup_);
  std::ifstream f(setup_, std::ios::binary);
  Trailer t;
  ASSERT_TRUE(ReadTrailer(f, bytes.size(), t));
  const size_t record = bytes.find("Lang/zh.lang", t.offset) - 7;
  bytes[record + 1] = static_cast<char>(0777 & 0xFF);
  bytes[record + 2] = static_cast<char>(0777 >> 8);
  // The trailer's CRC follows the change.
  const uint32_t crc = static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data() + t.offset), t.size));
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 8 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
  Write(setup_, bytes, fs::perms(0755));
  std::string error;
  const std::string target = root_ + "installed/";
  ASSERT_EQ(InstallPayload(setup_, target, error), kSetupOk) << error;
  EXPECT_EQ(fs::status(target + "Lang/zh.lang").permissions() & fs::perms(0777), fs::perms(0755));
}

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
  ::setenv("XDG_CONFIG_DIRS", (root + "xdg").c_str(), 1);
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
