// The device manager's location (machine hive first, then the user's), recognition in the
// process list, start, and the port wait, against the stand-in "DeviceManager.exe".
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "common/Utils.h"
#include "devices/DeviceMgr.h"
#include "devices/DeviceMgrTestSupport.h"
#include "platform/Registry.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ParseProcessEntryTest, TakesThePathBeforeTheFirstSemicolonAndTheIdAfterIt) {
  struct Case {
    const char* entry;
    std::optional<TProcessEntryText> expected;
  };
  const Case cases[] = {
      {"ModuleName='/opt/dm/DeviceManager.exe';ProcessID=4711", TProcessEntryText{"/opt/dm/DeviceManager.exe", "4711"}},
      {"modulename='/a;b/x';processid=12", TProcessEntryText{"/a", "b/x;12"}},
      {"MODULENAME=/o'p/t;PROCESSID=7", TProcessEntryText{"/op/t", "7"}},
      {"ModuleName=ModuleName=/x;1", TProcessEntryText{"/x", "1"}},
      {"no separator", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto got = ParseProcessEntry(c.entry);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.entry;
    if (!got) continue;
    EXPECT_EQ(got->exePath, c.expected->exePath) << c.entry;
    EXPECT_EQ(got->processId, c.expected->processId) << c.entry;
  }
}

class DeviceMgrTest : public DeviceMgrFixture {};

TEST_F(DeviceMgrTest, InstallFolderComesFromTheMachineHiveFirstThenTheUser) {
  std::string folder = "untouched";
  EXPECT_FALSE(FindDeviceMgrInstallDir(folder)) << "nothing registered";

  Register(platform::RegRoot::CurrentUser, "/user/dm/");
  EXPECT_TRUE(FindDeviceMgrInstallDir(folder));
  EXPECT_EQ(folder, "/user/dm/");

  Register(platform::RegRoot::LocalMachine, "/machine/dm/");
  EXPECT_TRUE(FindDeviceMgrInstallDir(folder));
  EXPECT_EQ(folder, "/machine/dm/");

  // An empty machine value exists, so the user's is not looked at.
  Register(platform::RegRoot::LocalMachine, "");
  EXPECT_FALSE(FindDeviceMgrInstallDir(folder));
}

TEST_F(DeviceMgrTest, EnsureStartsTheRegisteredCopyOnceAndItIsRecognised) {
  const fs::path dir = InstallStandin("installed", true);
  EXPECT_FALSE(EnsureDeviceMgrStarted()) << "not registered, not running";
  Register(platform::RegRoot::CurrentUser, dir.string() + "/");
  ASSERT_TRUE(EnsureDeviceMgrStarted());
  // It notes its start right after taking its lock.
  ASSERT_TRUE(WaitUntil([&] { return IsDeviceMgrRunning() && Starts() == 1; }, 10s)) << "the stand-in never took its lock";
  const auto found = FindRunningDeviceMgr();
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(fs::path(found->exePath).generic_string(), (dir / "DeviceManager.exe").generic_string());

  // Running: nothing more is started.
  EXPECT_TRUE(EnsureDeviceMgrStarted());
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Starts(), 1);
}

TEST_F(DeviceMgrTest, AnInstanceWithoutThePluginRunsButIsNotRecognised) {
  const fs::path dir = InstallStandin("bare", false);
  ASSERT_TRUE(StartDeviceMgr(dir.string()));  // a folder without the closing "/" is fine too
  ASSERT_TRUE(WaitUntil([] { return IsDeviceMgrRunning(); }, 10s));
  EXPECT_FALSE(FindRunningDeviceMgr().has_value());
  EXPECT_TRUE(EnsureDeviceMgrStarted()) << "the lock says it runs";
}

TEST_F(DeviceMgrTest, StartFailsQuietlyWithoutTheFileAndLoudlyWhenItCannotRun) {
  EXPECT_FALSE(StartDeviceMgr((tmp_ / "nowhere").string()));
  const fs::path dir = tmp_ / "not-a-program";
  fs::create_directories(dir);
  // Executable, but no program the system can run.
  { std::ofstream(dir / "DeviceManager.exe") << "\x7f" "ELF damaged"; }
  fs::permissions(dir / "DeviceManager.exe", fs::perms::owner_all);
  try {
    StartDeviceMgr(dir.string() + "/");
    FAIL() << "no error";
  } catch (const std::exception& e) {
    const std::string text = e.what();
    // The program's path is the folder as given with the name appended.
    EXPECT_NE(text.find("启动程序[" + dir.string() + "/DeviceManager.exe]失败, E:ShellExecute.Return: "),
              std::string::npos)
        << text;
  }
  EXPECT_FALSE(StartForReset((dir / "DeviceManager.exe").string())) << "a reset swallows it";
}

TEST_F(DeviceMgrTest, PortWaitSucceedsOnceTheStandinListensAndStopsAtOnceWhenAsked) {
  EXPECT_FALSE(WaitDeviceMgrPort({}, TPortWait{2, 100, 50})) << "nobody listens";

  std::stop_source stop;
  const auto t0 = std::chrono::steady_clock::now();
  std::jthread stopper([&] {
    std::this_thread::sleep_for(300ms);
    stop.request_stop();
  });
  EXPECT_FALSE(WaitDeviceMgrPort(stop.get_token()));  // 61 attempts unless stopped
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);

  const fs::path dir = InstallStandin("port", true);
  ASSERT_TRUE(StartForReset((dir / "DeviceManager.exe").string()));
  EXPECT_TRUE(WaitDeviceMgrPort({}, TPortWait{40, 500, 100}));
}

}  // namespace
}  // namespace zent
