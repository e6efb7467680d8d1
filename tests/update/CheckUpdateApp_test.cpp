#include "update/CheckUpdateApp.h"

#include <gtest/gtest.h>

#include <clocale>

#include "update/HandOffRecord.h"
#include "update/UpdateNames.h"

#include "UpdateTestSupport.h"
#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace zent {
namespace {

using namespace zent::testing;

// This test program carries the build's version note, so a copy of it is a package whose
// version is the build's; a text file is a package without version information.
const std::string kBuildVersion = GetFileVersion(platform::ExecutablePath());

// Packages are signed with the tests' trusted key unless planted (no signature) or signed
// with a foreign key.
enum class Pkg { None, Versioned, NoVersion, Zip, Planted, Foreign };

struct HandOffCase {
  const char* name;
  const char* appVersion;
  Pkg main;
  Pkg fallback;
  const char* started;  // "main", "fallback" or "" (nothing started)
  bool mainLeft, fallbackLeft;
  const char* logged;
};

void PrintTo(const HandOffCase& c, std::ostream* os) { *os << c.name; }

class HandOffTable : public ::testing::TestWithParam<HandOffCase> {};

void Place(const std::string& folder, const std::string& name, Pkg kind) {
  const std::string path = folder + name + ".exe";
  switch (kind) {
    case Pkg::None: return;
    case Pkg::Versioned:
    case Pkg::Planted:
    case Pkg::Foreign:
      fs::create_directories(platform::FsPath(folder));
      fs::copy_file(platform::FsPath(platform::ExecutablePath()), platform::FsPath(path));
      break;
    case Pkg::NoVersion: WriteFile(path, "<html>404</html>"); break;
    case Pkg::Zip: WriteFile(folder + name + ".zip", "zip"); return;
  }
  if (kind == Pkg::Foreign) SignFile(platform::FsPath(path), ForeignTestKey());
  if (kind == Pkg::Versioned || kind == Pkg::NoVersion) SignFile(platform::FsPath(path));
}

THandOffContext Context(const std::string& appVersion, const std::string& base,
                        std::function<bool(const std::string&)> exec) {
  THandOffContext ctx;
  ctx.appVersion = appVersion;
  ctx.installBase = base;
  ctx.execUpdate = std::move(exec);
  ctx.fallbackDeleteDelayMs = 0;
  ctx.keys = TrustedTestKey().Trusted();
  return ctx;
}

TEST_P(HandOffTable, DecidesInstallOrDelete) {
  const HandOffCase& c = GetParam();
  ASSERT_FALSE(kBuildVersion.empty());
  const std::string base = FreshFolder(std::string("handoff-") + c.name);
  const AppLogTail appLog;
  Place(base + "Temp/ExeBuf/", "DO2_U_abc", c.main);
  Place(base + "Temp/ExeBuf_O/", "LumoBrowserUpdate_s", c.fallback);
  std::string started;
  const THandOffContext ctx =
      Context(c.appVersion[0] == '=' ? kBuildVersion : c.appVersion, base, [&](const std::string& package) {
        started = package.find("ExeBuf_O") != std::string::npos ? "fallback" : "main";
        return true;
      });
  EXPECT_EQ(CheckUpdateApp(ctx), std::string(c.started) != "");
  EXPECT_EQ(started, c.started);
  EXPECT_EQ(!FilesIn(base + "Temp/ExeBuf/").empty(), c.mainLeft);
  EXPECT_EQ(!FilesIn(base + "Temp/ExeBuf_O/").empty(), c.fallbackLeft);
  EXPECT_NE(appLog.New().find(c.logged), std::string::npos) << c.logged;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandOffTable,
    ::testing::Values(
        HandOffCase{"NoFolders", "=", Pkg::None, Pkg::None, "", false, false, "退出升级检查(A)。"},
        HandOffCase{"EmptyFallbackFolder", "=", Pkg::None, Pkg::Zip, "", false, true, "退出升级检查(B)。"},
        HandOffCase{"MainSameVersionDeletedFallbackUntouched", "=", Pkg::Versioned, Pkg::Versioned, "",
                    false, true, "升级程序版本与当前程序版本相同: "},
        HandOffCase{"MainOlderInstalled", "99.0.0.0", Pkg::Versioned, Pkg::None, "main", true, false, "程序版本：99.0.0.0"},
        HandOffCase{"MainWithoutVersionInstalled", "=", Pkg::NoVersion, Pkg::None, "main", true, false, "程序版本："},
        HandOffCase{"MainZipNeverPickedUp", "=", Pkg::Zip, Pkg::None, "", true, false, "退出升级检查(A)。"},
        HandOffCase{"FallbackNewerInstalled", "0.0.0.1", Pkg::None, Pkg::Versioned, "fallback", false, true, "程序版本："},
        HandOffCase{"FallbackEqualDeleted", "=", Pkg::None, Pkg::Versioned, "", false, false, "程序版本："},
        HandOffCase{"FallbackOlderDeleted", "99.0.0.0", Pkg::None, Pkg::Versioned, "", false, false, "程序版本："},
        HandOffCase{"FallbackWithoutVersionDeleted", "1.0.0.0", Pkg::None, Pkg::NoVersion, "", false, false, "程序版本："},
        // A version that does not compare must not stop the start: logged, not installed.
        HandOffCase{"FallbackIncomparableDeleted", "7.a.0.0", Pkg::None, Pkg::Versioned, "", false, false,
                    "CompareVer异常"},
        // Anything without a valid signature is deleted and never run; the start goes on with
        // the fallback folder.
        HandOffCase{"MainPlantedDeleted", "99.0.0.0", Pkg::Planted, Pkg::None, "", false, false,
                    "升级包签名无效，已删除: "},
        HandOffCase{"MainForeignKeyDeletedFallbackInstalled", "0.0.0.1", Pkg::Foreign, Pkg::Versioned, "fallback",
                    false, true, "升级包签名无效，已删除: "},
        HandOffCase{"FallbackPlantedDeleted", "0.0.0.1", Pkg::None, Pkg::Planted, "", false, false,
                    "升级包签名无效，已删除: "}));

TEST(HandOff, FailedScriptStartKeepsThePackage) {
  const std::string base = FreshFolder("handoff-failed");
  Place(base + "Temp/ExeBuf/", "DO2_U_abc", Pkg::NoVersion);
  EXPECT_FALSE(CheckUpdateApp(Context("1.0.0.0", base, [](const std::string&) { return false; })));
  EXPECT_EQ(FilesIn(base + "Temp/ExeBuf/"), std::vector<std::string>{"DO2_U_abc.exe"});
}

// Starts of a till whose installer fails: the package is handed off once, then removed and
// listed, and the same package arriving again is not run either.
TEST(HandOff, PackageThatLeavesTheVersionUnchangedIsHandedOffOnce) {
  const std::string base = FreshFolder("handoff-once");
  const std::string folder = base + "Temp/ExeBuf/";
  Place(folder, "DO2_U_abc", Pkg::Versioned);
  int handOffs = 0;
  const THandOffContext ctx = Context("99.0.0.0", base, [&](const std::string&) { return ++handOffs > 0; });
  const AppLogTail appLog;
  EXPECT_TRUE(CheckUpdateApp(ctx));
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"DO2_U_abc.exe", "HandOff.ini"}));
  for (int start = 2; start <= 3; ++start) {
    SCOPED_TRACE(start);
    EXPECT_FALSE(CheckUpdateApp(ctx));
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"FailedPackages.txt"});
  }
  EXPECT_EQ(handOffs, 1);
  EXPECT_NE(appLog.New().find("升级未完成，程序版本仍为99.0.0.0，不再安装此升级包: " + folder + "DO2_U_abc.exe"),
            std::string::npos);
  // The same bytes under another name: deleted, not handed off.
  Place(folder, "DO2_U_again", Pkg::Versioned);
  EXPECT_FALSE(CheckUpdateApp(ctx));
  EXPECT_EQ(handOffs, 1);
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"FailedPackages.txt"});
  EXPECT_NE(appLog.New().find("升级包曾安装失败，已删除: " + folder + "DO2_U_again.exe"), std::string::npos);
}

TEST(HandOff, ChangedVersionMeansSuccessAndTheEqualPackageGoes) {
  const std::string base = FreshFolder("handoff-success");
  const std::string folder = base + "Temp/ExeBuf/";
  Place(folder, "DO2_U_abc", Pkg::Versioned);
  int handOffs = 0;
  EXPECT_TRUE(CheckUpdateApp(Context("0.0.0.1", base, [&](const std::string&) { return ++handOffs > 0; })));
  // The installer put the package's build in place.
  EXPECT_FALSE(CheckUpdateApp(Context(kBuildVersion, base, [&](const std::string&) { return ++handOffs > 0; })));
  EXPECT_EQ(handOffs, 1);
  EXPECT_TRUE(FilesIn(folder).empty());
}

// The "C" locale for one case: its narrow encoding is not UTF-8, so a path made from one of
// our strings without FsPath would not name the file the string names.
class NarrowLocale {
 public:
  NarrowLocale() : previous_(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "C"); }
  ~NarrowLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  NarrowLocale(const NarrowLocale&) = delete;
  NarrowLocale& operator=(const NarrowLocale&) = delete;

 private:
  std::string previous_;
};

// A till installed below a folder with a Chinese name: the package is found, its signature
// and version read, handed off under exactly its UTF-8 name, and removed there once it failed.
TEST(HandOff, InstallFolderWithANonAsciiNameUnderANonUtf8Locale) {
  const NarrowLocale cLocale;
  const std::string base = FreshFolder("handoff-utf8") + "升级/";
  const std::string folder = base + kMainPackageFolder;
  Place(folder, "DO2_U_版本", Pkg::Versioned);
  const std::string package = folder + "DO2_U_版本.exe";
  EXPECT_EQ(FindPackage(folder, kMainPackagePrefix), package);
  std::vector<std::string> started;
  const THandOffContext ctx = Context("99.0.0.0", base, [&](const std::string& p) {
    started.push_back(p);
    return true;
  });
  EXPECT_TRUE(CheckUpdateApp(ctx));
  EXPECT_EQ(started, std::vector<std::string>{package});
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"DO2_U_版本.exe", "HandOff.ini"}));
  // The next start still finds version 99.0.0.0: the package failed and goes.
  EXPECT_FALSE(CheckUpdateApp(ctx));
  EXPECT_EQ(started.size(), 1u);
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"FailedPackages.txt"});
}

// The record lies in a folder others may write: it can only ever remove one of our packages.
TEST(HandOff, RecordNamingAnythingElseRemovesNothing) {
  const std::string base = FreshFolder("handoff-hostile");
  const std::string folder = base + "Temp/ExeBuf/";
  WriteFile(base + "bin/Lumo7Browser", "the program");
  fs::create_directories(folder);
  WriteHandOffRecord(folder, {"../../bin/Lumo7Browser", "", "", "7.0.0.1"});
  EXPECT_FALSE(CheckUpdateApp(Context("7.0.0.1", base, [](const std::string&) { return true; })));
  EXPECT_TRUE(fs::exists(base + "bin/Lumo7Browser"));
  EXPECT_TRUE(FilesIn(folder).empty());
}

}  // namespace
}  // namespace zent
