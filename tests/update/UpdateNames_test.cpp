#include "update/UpdateNames.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"
#include "platform/FsPath.h"

namespace zent {
namespace {

using namespace zent::testing;

TEST(UpdateNames, InstallBaseDropsBinAndDeviceMgrComponentsOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/lumo7browser/bin/Lumo7Browser", "/opt/lumo7browser/"},
      {"/opt/x/BIN/DeviceMgr/DeviceManager.exe", "/opt/x/"},
      {"/opt/x/Lumo7Browser", "/opt/x/"},
      // Folder names that merely begin with "bin" stay whole.
      {"/home/binny/binaries/bin/app", "/home/binny/binaries/"},
      {"/usr/bin/app", "/usr/"},
      {"/app", "/"},
      {"/opt//x/bin/app", "/opt/x/"},
  };
  for (const auto& [program, base] : cases) EXPECT_EQ(InstallBaseOf(program), base) << program;
  // Where the backslash separates, the base keeps it: the hand-off script searches the process
  // list, which names programs with backslashes, for paths under it.
  if (platform::IsPathSeparator('\\')) {
    const std::pair<const char*, const char*> windows[] = {
        {"C:\\Program Files\\Lumo7\\bin\\Lumo7Browser.exe", "C:\\Program Files\\Lumo7\\"},
        {"C:\\Lumo7\\Lumo7Browser.exe", "C:\\Lumo7\\"},
        {"\\\\till\\share\\bin\\Lumo7Browser.exe", "\\\\till\\share\\"},
        {"C:\\x\\DeviceMgr/DeviceManager.exe", "C:\\x\\"},
    };
    for (const auto& [program, base] : windows) EXPECT_EQ(InstallBaseOf(program), base) << program;
  }
}

TEST(UpdateNames, CleanUrlKeepsTheSchemeSlashes) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://h:7100//autoupdate/checkupdate", "http://h:7100/autoupdate/checkupdate"},
      {"http://h:8080/lumo7//canyin///x", "http://h:8080/lumo7/canyin//x"},
      {"https://h/a", "https://h/a"},
      {"//a", "/a"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CleanUrl(in), out) << in;
}

TEST(UpdateNames, GetVerCutsBeforeTheThirdDot) {
  EXPECT_EQ(GetVer("6.6.100.2810"), "6.6.100");
  EXPECT_EQ(GetVer("1.2.3.4.5"), "1.2.3");
  EXPECT_EQ(GetVer("7.0.1"), "7.0.1");
  EXPECT_EQ(GetVer(""), "");
}

TEST(UpdateNames, DownloadExtensionIsTheLastDotOn) {
  EXPECT_EQ(DownloadExtension("/files/setup.exe"), ".exe");
  EXPECT_EQ(DownloadExtension("/files/setup.zip"), ".zip");
  EXPECT_EQ(DownloadExtension("/files/setup"), ".exe");
  EXPECT_EQ(DownloadExtension("/files/setup."), ".exe");
  EXPECT_EQ(DownloadExtension("/a.d/setup"), ".d/setup");  // refused by the name check
}

TEST(UpdateNames, ServerGivenNamesThatCouldLeaveTheFolderAreRefused) {
  for (const char* ok : {"abc123", "Lumo7Browser-setup-7.0.0.2.exe", ".exe", "浏览器.exe"})
    EXPECT_TRUE(IsSafePackageNamePart(ok)) << ok;
  for (const char* bad : {"", "../../x.exe", "a/b.exe", "a\\b.exe", "..", "x..exe", "a:b", "a\nb",
                          "a*b", "\xff\xfe.exe", "a|b", "a?b", "a%PATH%b.exe"})
    EXPECT_FALSE(IsSafePackageNamePart(bad)) << bad;
  EXPECT_FALSE(IsSafePackageNamePart(std::string(201, 'a')));
}

TEST(UpdateNames, FindPackageTakesOnlyExeFilesWithThePrefix) {
  const std::string folder = FreshFolder("find");
  WriteFile(folder + "DO2_U_a.zip", "z");
  WriteFile(folder + "do2_u_b.exe", "wrong case prefix");
  WriteFile(folder + "Other.exe", "o");
  WriteFile(folder + "sub/DO2_U_c.exe", "in a sub-folder");
  fs::create_directories(folder + "DO2_U_dir.exe");
  EXPECT_EQ(FindPackage(folder, "DO2_U_"), "");
  WriteFile(folder + "DO2_U_d.EXE", "upper-case extension");
  EXPECT_EQ(FindPackage(folder, "DO2_U_"), folder + "DO2_U_d.EXE");
  EXPECT_EQ(FindPackage(folder + "missing/", "DO2_U_"), "");
}

}  // namespace
}  // namespace zent
