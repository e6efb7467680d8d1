#include "devices/DeviceMgrTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "devices/DeviceMgr.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
const char* const kVariables[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "ZENT_DEVMGR_RECORD"};

}  // namespace

void DeviceMgrFixture::SetUp() {
  for (int i = 0; i < 3; ++i) {
    if (const char* v = std::getenv(kVariables[i])) saved_[i] = v;
  }
  tmp_ = fs::path(ZENT_TEST_TMP_DIR) / ("devmgr-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
  KillStandins();
  fs::remove_all(tmp_);
  fs::create_directories(tmp_ / "user");
  fs::create_directories(tmp_ / "machine");
  record_ = tmp_ / "starts.txt";
  ::setenv("XDG_CONFIG_HOME", (tmp_ / "user").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", (tmp_ / "machine").c_str(), 1);
  // Started stand-ins inherit our environment: they note each start here.
  ::setenv("ZENT_DEVMGR_RECORD", record_.c_str(), 1);
  ASSERT_FALSE(platform::NamedLock::Exists(kDeviceMgrMutex))
      << "a device manager runs on this machine already; these tests need it stopped";
}

void DeviceMgrFixture::TearDown() {
  KillStandins();
  // The lock goes with its holder; wait for that so the next test starts clean.
  WaitUntil([] { return !platform::NamedLock::Exists(kDeviceMgrMutex); }, std::chrono::seconds(5));
  for (int i = 0; i < 3; ++i) {
    if (saved_[i]) ::setenv(kVariables[i], saved_[i]->c_str(), 1);
    else ::unsetenv(kVariables[i]);
  }
}

void DeviceMgrFixture::Register(platform::RegRoot root, const std::string& folder) {
  platform::RegistryKey key;
  ASSERT_FALSE(platform::RegistryKey::Create(root, kDeviceMgrUninstallKey, key));
  ASSERT_FALSE(key.WriteString(kDeviceMgrInstallValue, folder));
}

fs::path DeviceMgrFixture::InstallStandin(const std::string& name, bool plugin) {
  const fs::path dir = tmp_ / name;
  fs::create_directories(dir);
  fs::copy_file(ZENT_STANDIN_DEVICEMGR, dir / "DeviceManager.exe", fs::copy_options::overwrite_existing);
  if (plugin) {
    fs::create_directories(dir / "Plugin");
    std::ofstream(dir / "Plugin" / "dmReport.dll") << "plug-in";
  }
  return dir;
}

int DeviceMgrFixture::Starts() const {
  std::ifstream in(record_);
  int n = 0;
  for (std::string line; std::getline(in, line);) n += line.starts_with("started ");
  return n;
}

void DeviceMgrFixture::KillStandins() {
  const std::string prefix = tmp_.string() + "/";
  for (const auto& p : platform::ListProcesses()) {
    if (p.exePath.starts_with(prefix)) platform::TerminateProcess(p.pid);
  }
  WaitUntil([&] {
    for (const auto& p : platform::ListProcesses()) {
      if (p.exePath.starts_with(prefix)) return false;
    }
    return true;
  }, std::chrono::seconds(5));
}

bool DeviceMgrFixture::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace zent
