// The device manager's location, start and recognition.
#include "devices/DeviceMgr.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include "common/Errors.h"
#include "common/Format.h"
#include "common/TextFill.h"
#include "common/Utils.h"
#include "lang/Translate.h"
#include "platform/FsPath.h"
#include "platform/NamedLock.h"
#include "platform/Net.h"
#include "platform/Shell.h"
#include "platform/TcpProbe.h"
#include "platform/Text.h"

namespace zent {
namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(platform::FsPath(path), ec);
}

std::string FolderOfPath(const std::string& path) {
  return platform::FolderOf(path);
}

std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// Removes every occurrence of `what`, compared without ASCII case.
void EraseAllNoCase(std::string& text, std::string_view what) {
  size_t at = 0;
  while (at + what.size() <= text.size()) {
    if (platform::EqualsNoCase(std::string_view(text).substr(at, what.size()), what)) {
      text.erase(at, what.size());
    } else {
      ++at;
    }
  }
}

// Whether `text` holds `what` (lower case) without regard to ASCII case.
bool ContainsNoCase(std::string_view text, std::string_view what) {
  for (size_t at = 0; at + what.size() <= text.size(); ++at) {
    if (platform::EqualsNoCase(text.substr(at, what.size()), what)) return true;
  }
  return false;
}

}  // namespace

bool FindDeviceMgrInstallDir(std::string& folder) {
  std::string value;
  if (!ReadRegString(platform::RegRoot::LocalMachine, kDeviceMgrUninstallKey, kDeviceMgrInstallValue, value)) {
    ReadRegString(platform::RegRoot::CurrentUser, kDeviceMgrUninstallKey, kDeviceMgrInstallValue, value);
  }
  folder = value;
  return !folder.empty();
}

bool IsDeviceMgrRunning() { return platform::NamedLock::Exists(kDeviceMgrMutex); }

bool StartDeviceMgr(const std::string& folder) {
  const std::string dir = WithSlash(folder);
  const std::string exe = dir + kDeviceMgrExe;
  if (!IsFile(exe)) return false;
  const int result = platform::ShellOpen(exe, dir);
  if (result < 32) {
    // The translated pattern is data from a language file: filled, never a printf format.
    throw Exception(FillTexts(Translate("启动程序[%s]失败, E:%s"), {exe, Format("ShellExecute.Return: %d", result)}));
  }
  return true;
}

bool EnsureDeviceMgrStarted() {
  if (IsDeviceMgrRunning()) return true;
  std::string folder;
  if (FindDeviceMgrInstallDir(folder)) return StartDeviceMgr(folder);
  return false;
}

std::optional<TProcessEntryText> ParseProcessEntry(const std::string& entry) {
  std::string text = entry;
  EraseAllNoCase(text, "ModuleName=");
  EraseAllNoCase(text, "ProcessID=");
  std::erase(text, '\'');
  const size_t semicolon = text.find(';');
  if (semicolon == std::string::npos) return std::nullopt;
  return TProcessEntryText{text.substr(0, semicolon), text.substr(semicolon + 1)};
}

std::optional<TProcessEntryText> FindRunningDeviceMgr() {
  std::vector<std::string> list;
  GetProcessInfo(list);
  for (const std::string& entry : list) {
    if (!ContainsNoCase(entry, kDeviceMgrProcessName)) continue;
    auto parsed = ParseProcessEntry(entry);
    if (!parsed) continue;
    if (IsFile(FolderOfPath(parsed->exePath) + kDeviceMgrPlugin)) return parsed;
  }
  return std::nullopt;
}

bool StartForReset(const std::string& exePath) {
  try {
    if (IsFile(exePath)) return platform::ShellOpen(exePath) >= 32;
    return EnsureDeviceMgrStarted();
  } catch (const std::exception&) {
    return false;  // the reset ends quietly; the page is told nothing
  }
}

bool WaitDeviceMgrPort(std::stop_token stop, const TPortWait& wait) {
  const uint32_t address = *platform::ParseIPv4(kDeviceMgrHost);
  platform::WakeEvent wake;
  std::stop_callback wakeOnStop(stop, [&wake] { wake.Signal(); });
  std::mutex mutex;
  std::condition_variable_any pause;
  for (int attempt = 0; attempt < wait.attempts; ++attempt) {
    if (stop.stop_requested()) return false;
    if (platform::TcpConnectTest(address, kDeviceMgrPort, static_cast<uint32_t>(wait.attemptMs), &wake) ==
        platform::ConnectResult::kConnected)
      return true;
    if (attempt + 1 == wait.attempts) break;
    std::unique_lock lock(mutex);
    if (pause.wait_for(lock, stop, std::chrono::milliseconds(wait.pauseMs), [] { return false; })) break;
  }
  return false;
}

}  // namespace zent
