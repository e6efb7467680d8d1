#include "update/CheckUpdateApp.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"
#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/Paths.h"

namespace zent {
namespace {

using namespace zent::testing;

// This test program carries the build's version note, so a copy of it is a package whose
// version is the build's; a text file is a package without version information.
const std::string kBuildVersion = GetFileVersion(platform::ExecutablePath());

enum class Pkg { None, Versioned, NoVersion, Zip };

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
  switch (kind) {
    case Pkg::None: return;
    case Pkg::Versioned: fs::create_directories(folder); fs::copy_file(platform::ExecutablePath(), folder + name + ".exe"); return;
    case Pkg::NoVersion: WriteFile(folder + name + ".exe", "<html>404</html>"); return;
    case Pkg::Zip: WriteFile(folder + name + ".zip", "zip"); return;
  }
}

TEST_P(HandOffTable, DecidesInstallOrDelete) {
  const HandOffCase& c = GetParam();
  ASSERT_FALSE(kBuildVersion.empty());
  const std::string base = FreshFolder(std::string("handoff-") + c.name);
  const AppLogTail appLog;
  Place(base + "Temp/ExeBuf/", "DO2_U_abc", c.main);
  Place(base + "Temp/ExeBuf_O/", "LumoBrowserUpdate_s", c.fallback);
  std::string started;
  THandOffContext ctx;
  ctx.appVersion = c.appVersion[0] == '=' ? kBuildVersion : c.appVersion;
  ctx.installBase = base;
  ctx.fallbackDeleteDelayMs = 0;
  ctx.execUpdate = [&](const std::string& package) {
    started = package.find("ExeBuf_O") != std::string::npos ? "fallback" : "main";
    return true;
  };
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
                    "CompareVer异常"}));

TEST(HandOff, FailedScriptStartKeepsThePackage) {
  const std::string base = FreshFolder("handoff-failed");
  Place(base + "Temp/ExeBuf/", "DO2_U_abc", Pkg::NoVersion);
  THandOffContext ctx{"1.0.0.0", base, [](const std::string&) { return false; }, 0};
  EXPECT_FALSE(CheckUpdateApp(ctx));
  EXPECT_EQ(FilesIn(base + "Temp/ExeBuf/"), std::vector<std::string>{"DO2_U_abc.exe"});
}

}  // namespace
}  // namespace zent
