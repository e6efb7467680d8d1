// The local device manager, a separate program that drives the shop's peripherals: where it
// is installed, whether it runs, starting it, recognising its running instance and waiting
// for its service port. Everything here is a plain call; the restart runs on its own thread
// (ResetDeviceMgrThread.h).
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace zent {

inline constexpr const char* kDeviceMgrUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{08D43C99-F36B-43EF-AB43-CC826B38DCA7}_is1";
inline constexpr const char* kDeviceMgrInstallValue = "InstallLocation";
inline constexpr const char* kDeviceMgrExe = "DeviceManager.exe";
inline constexpr const char* kDeviceMgrProcessName = "devicemanager.exe";
inline constexpr const char* kDeviceMgrPlugin = "Plugin/dmReport.dll";
inline constexpr const char* kDeviceMgrMutex = "Global\\B39EB66E-B58E-49DB-9C50-91035240F68C";
inline constexpr const char* kDeviceMgrHost = "127.0.0.1";
inline constexpr uint16_t kDeviceMgrPort = 5414;

// The installation folder from the installer's uninstall key: the machine's value, and only
// when that is absent the user's. False when the folder text is empty.
bool FindDeviceMgrInstallDir(std::string& folder);

// True while the device manager holds its machine-wide named lock.
bool IsDeviceMgrRunning();

// Starts folder + "DeviceManager.exe" in that folder; false when the file is not there.
// Throws Exception "启动程序[<path>]失败, E:ShellExecute.Return: <n>" when it cannot be started.
bool StartDeviceMgr(const std::string& folder);

// True when it runs already, else starts the installed copy (false when none is installed).
// A failed start throws as StartDeviceMgr does.
bool EnsureDeviceMgrStarted();

// One entry of the process list ("ModuleName='<path>';ProcessID=<pid>"): every
// "ModuleName=" and "ProcessID=" (any case) and every single quote removed, the path before
// the first ";" and the id text after it. nullopt when the entry has no ";".
struct TProcessEntryText {
  std::string exePath;
  std::string processId;
};
std::optional<TProcessEntryText> ParseProcessEntry(const std::string& entry);

// The first running process whose entry names "devicemanager.exe" (any case) and whose
// folder holds "Plugin/dmReport.dll".
std::optional<TProcessEntryText> FindRunningDeviceMgr();

// Restarts the device manager after it was ended: the executable it ran from when that file
// is still there, else EnsureDeviceMgrStarted. Every failure gives false.
bool StartForReset(const std::string& exePath);

// Tries to connect to 127.0.0.1:5414 up to `attempts` times, each attempt given
// `attemptMs`, with `pauseMs` between them. A stop request ends every wait and the attempt
// under way at once with false.
struct TPortWait {
  int attempts = 61;
  int attemptMs = 500;
  int pauseMs = 500;
};
bool WaitDeviceMgrPort(std::stop_token stop, const TPortWait& wait = {});

}  // namespace zent
