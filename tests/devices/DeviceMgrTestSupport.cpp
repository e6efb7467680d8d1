#include "devices/DeviceMgrTestSupport.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "devices/DeviceMgr.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

}  // namespace

void DeviceMgrFixture::SetUp() {
  tmp_ = fs::path(ZENT_TEST_TMP_DIR) / ("devmgr-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  KillStandins();
  fs::remove_all(tmp_);
  fs::create_directories(tmp_ / "registry");
  registry_.emplace(tmp_ / "registry");
  record_ = tmp_ / "starts.txt";
  // Started stand-ins inherit our environment: they note each start here.
  record_value_.emplace("ZENT_DEVMGR_RECORD", record_.string());
  ASSERT_FALSE(platform::NamedLock::Exists(kDeviceMgrMutex))
      << "a device manager runs on this machine already; these tests need it stopped";
}

void DeviceMgrFixture::TearDown() {
  KillStandins();
  // The lock goes with its holder; wait for that so the next test starts clean.
  WaitUntil([] { return !platform::NamedLock::Exists(kDeviceMgrMutex); }, std::chrono::seconds(5));
  record_value_.reset();
  registry_.reset();
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

bool DeviceMgrFixture::IsOurs(const std::string& exePath) const {
  return fs::path(exePath).generic_string().starts_with(tmp_.generic_string() + "/");
}

void DeviceMgrFixture::KillStandins() {
  for (const auto& p : platform::ListProcesses()) {
    if (IsOurs(p.exePath)) platform::TerminateProcess(p.pid);
  }
  WaitUntil([&] {
    for (const auto& p : platform::ListProcesses()) {
      if (IsOurs(p.exePath)) return false;
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
