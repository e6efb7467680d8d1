#include "update/apply/ApplyUpdate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "update/SignatureTestSupport.h"

namespace zent::apply {
namespace {

using namespace zent::testing;
namespace fs = std::filesystem;

TEST(ApplyRules, TheHelperTakesNoArgument) {
  EXPECT_TRUE(ArgumentsAccepted({}));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {""}, {"--help"}, {"/tmp/evil.exe"}, {"/SILENT", "/DIR=/"}})
    EXPECT_FALSE(ArgumentsAccepted(args)) << args.size();
}

TEST(ApplyRules, OnlyANewerReadableVersionIsInstalled) {
  struct Case {
    const char* installed;
    const char* package;
    VersionRule rule;
  };
  const Case cases[] = {
      {"7.0.0.1", "7.0.0.2", VersionRule::kInstall},
      {"7.0.0.9", "7.0.1.0", VersionRule::kInstall},
      {"7.0.0.1", "7.0.0.1", VersionRule::kSameVersion},
      {"7.0.0.2", "7.0.0.1", VersionRule::kOlder},
      {"7.1.0.0", "7.0.9.9", VersionRule::kOlder},
      {"7.0.0.1", "", VersionRule::kUnreadable},
      {"", "7.0.0.2", VersionRule::kUnreadable},
      {"7.0.0.1", "7.0.x.2", VersionRule::kUnreadable},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecideVersion(c.installed, c.package), c.rule) << c.installed << " -> " << c.package;
}

// A machine in a temporary folder: the package folders, root's work folder, the key folder
// and an installed program, everything owned by whoever runs the tests.
class ApplyMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    paths_.mainFolder = root_ + "Temp/ExeBuf/";
    paths_.fallbackFolder = root_ + "Temp/ExeBuf_O/";
    paths_.workFolder = root_ + "apply/";
    paths_.keyFolder = root_ + "update-keys/";
    paths_.installFolder = root_ + "bin";
    paths_.installedProgram = root_ + "bin/Lumo7Browser";
    fs::create_directories(paths_.mainFolder);
    fs::create_directories(paths_.fallbackFolder);
    WriteFile(paths_.keyFolder + "vendor.pub", FormatPublicKey(vendor_.pub));
    self_ = ReadFile("/proc/self/exe");
    WriteFile(paths_.installedProgram, Restamped(self_, 7, 0, 0, 5));
    me_ = ::geteuid();
  }

  int Apply() {
    ran_.clear();
    log_.clear();
    return ApplyUpdate(paths_, me_, [&](const std::string& installer, const std::string& folder) {
      ran_ = installer + " -> " + folder;
      ranBytes_ = ReadFile(installer);
      ranExecutable_ = ::access(installer.c_str(), X_OK) == 0;
      return installerCode_;
    }, [&](const std::string& line) { log_ += line + "\n"; });
  }
  std::vector<std::string> WorkFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(paths_.workFolder)) names.push_back(e.path().filename().string());
    return names;
  }

  std::string root_, self_, log_, ran_, ranBytes_;
  bool ranExecutable_ = false;
  int installerCode_ = 0;
  uint32_t me_ = 0;
  ApplyPaths paths_;
  KeyPair vendor_, stranger_;
};

TEST_F(ApplyMachine, ANewerSignedPackageIsInstalledFromRootsCopy) {
  const std::string package = paths_.mainFolder + "DO2_U_7.0.0.6.exe";
  WriteSigned(package, Restamped(self_, 7, 0, 0, 6), vendor_);
  installerCode_ = 2;  // what the installer answers is the helper's answer
  EXPECT_EQ(Apply(), 2) << log_;
  ASSERT_EQ(ran_.rfind(paths_.workFolder + "copy-", 0), 0u) << ran_;
  EXPECT_TRUE(ran_.ends_with(" -> " + paths_.installFolder)) << ran_;
  EXPECT_EQ(ranBytes_, ReadFile(package));
  EXPECT_TRUE(ranExecutable_);
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{}) << "the copy is removed";
  EXPECT_EQ(fs::status(paths_.workFolder).permissions(), fs::perms::owner_all);
  EXPECT_NE(log_.find("signature valid (key " + paths_.keyFolder + "vendor.pub)"), std::string::npos) << log_;
  EXPECT_NE(log_.find("installing version 7.0.0.6 over 7.0.0.5"), std::string::npos) << log_;
}

TEST_F(ApplyMachine, TheMainPackageComesBeforeTheFallbackOne) {
  WriteSigned(paths_.fallbackFolder + "LumoBrowserUpdate_a.exe", Restamped(self_, 7, 0, 0, 7), vendor_);
  EXPECT_EQ(ChoosePackage(paths_), paths_.fallbackFolder + "LumoBrowserUpdate_a.exe");
  WriteFile(paths_.mainFolder + "LumoBrowserUpdate_b.exe", "wrong prefix for this folder");
  WriteFile(paths_.mainFolder + "DO2_U_c.txt", "not an .exe");
  EXPECT_EQ(ChoosePackage(paths_), paths_.fallbackFolder + "LumoBrowserUpdate_a.exe");
  WriteSigned(paths_.mainFolder + "DO2_U_d.exe", Restamped(self_, 7, 0, 0, 6), vendor_);
  EXPECT_EQ(ChoosePackage(paths_), paths_.mainFolder + "DO2_U_d.exe");
  EXPECT_EQ(Apply(), 0) << log_;
  EXPECT_NE(log_.find("installing version 7.0.0.6"), std::string::npos) << log_;
}

TEST_F(ApplyMachine, RefusedPackagesRunNothing) {
  const std::string package = paths_.mainFolder + "DO2_U_x.exe";
  struct Case {
    const char* name;
    std::function<void()> make;
    int code;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"none", [] {}, kApplyRefused, "no update package"},
      {"unsigned", [&] { WriteFile(package, Restamped(self_, 7, 0, 0, 6)); }, kApplyRefused, "unsigned"},
      {"untrusted key", [&] { WriteSigned(package, Restamped(self_, 7, 0, 0, 6), stranger_); }, kApplyRefused,
       "signed with an unknown key or damaged"},
      {"older", [&] { WriteSigned(package, Restamped(self_, 7, 0, 0, 4), vendor_); }, kApplyRefused,
       "refused: package version 7.0.0.4 is older than the installed 7.0.0.5"},
      {"same", [&] { WriteSigned(package, Restamped(self_, 7, 0, 0, 5), vendor_); }, kApplyNothingToDo,
       "already installed: nothing to do"},
      {"no version", [&] { WriteSigned(package, "#!/bin/sh\necho signed but no program\n", vendor_); },
       kApplyRefused, "version unreadable"},
      {"a link to a signed package",
       [&] {
         WriteSigned(root_ + "elsewhere.exe", Restamped(self_, 7, 0, 0, 6), vendor_);
         fs::create_symlink(root_ + "elsewhere.exe", package);
       },
       kApplyRefused, "a link, not a file"},
  };
  for (const auto& c : cases) {
    fs::remove(package);
    c.make();
    EXPECT_EQ(Apply(), c.code) << c.name << "\n" << log_;
    EXPECT_EQ(ran_, "") << c.name;
    EXPECT_NE(log_.find(c.says), std::string::npos) << c.name << "\n" << log_;
    if (fs::exists(paths_.workFolder)) EXPECT_EQ(WorkFiles(), std::vector<std::string>{}) << c.name;
  }
}

TEST_F(ApplyMachine, TheInstalledProgramsVersionMustBeReadable) {
  WriteSigned(paths_.mainFolder + "DO2_U_x.exe", Restamped(self_, 7, 0, 0, 6), vendor_);
  fs::remove(paths_.installedProgram);
  EXPECT_EQ(Apply(), kApplyRefused);
  EXPECT_NE(log_.find("version unreadable (installed \"\""), std::string::npos) << log_;
}

TEST_F(ApplyMachine, TheWorkFolderMustBeOnlyOurs) {
  EXPECT_EQ(PrepareWorkFolder(paths_.workFolder, me_), "");
  EXPECT_EQ(fs::status(paths_.workFolder).permissions(), fs::perms::owner_all);
  EXPECT_EQ(PrepareWorkFolder(paths_.workFolder, me_), "") << "an existing good folder is used";
  EXPECT_NE(PrepareWorkFolder(paths_.workFolder, me_ + 1).find("owned by uid"), std::string::npos);

  fs::permissions(paths_.workFolder, fs::perms(0750));
  EXPECT_NE(PrepareWorkFolder(paths_.workFolder, me_).find("mode 0750, not 0700"), std::string::npos);
  fs::remove(paths_.workFolder);

  fs::create_directory(root_ + "real");
  fs::permissions(root_ + "real", fs::perms(0700));
  fs::create_directory_symlink(root_ + "real", root_ + "apply");
  EXPECT_NE(PrepareWorkFolder(paths_.workFolder, me_).find("a link, not a folder"), std::string::npos);
  fs::remove(root_ + "apply");

  // A parent the group may write: the work folder could be renamed away under us.
  fs::permissions(root_, fs::perms(0775));
  const std::string why = PrepareWorkFolder(paths_.workFolder, me_);
  EXPECT_NE(why.find("writable by group or others"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(paths_.workFolder));
  WriteSigned(paths_.mainFolder + "DO2_U_x.exe", Restamped(self_, 7, 0, 0, 6), vendor_);
  EXPECT_EQ(Apply(), kApplyRefused);
  EXPECT_EQ(ran_, "");
  fs::permissions(root_, fs::perms(0755));
}

}  // namespace
}  // namespace zent::apply
