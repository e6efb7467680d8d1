// The configuration store: the per-user configuration file
// (<roaming application-data folder>/ZentLumo7/Lumo7BrowserCfg.ini), the run-options file
// beside the executable, and the device identifier in the registry. Every access reads or
// writes the file anew; nothing is cached except the run options, read once per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/CommandLine.h"

namespace zent {

// The current user's roaming application-data folder with a trailing "/".
// Throws zent::Exception("未能找到当前用户的AppData文件夹") when there is none.
std::string GetAppDataFolder();
// GetAppDataFolder() + "ZentLumo7/Lumo7BrowserCfg.ini"; creates the "ZentLumo7" folder
// (one level) when missing.
std::string GetConfigFileName();

// Both let the missing application-data folder pass to the caller.
bool ReadSingleInst();  // true when the file or the key is missing
void WriteSingleInst(bool value);
// True when the command line asks for it; else the stored switch, false when missing.
bool ReadDebugModel(const CommandLine& commandLine);
void WriteDebugModel(bool value);

// The server address as the server reply record carries it: host and page path cut to the
// record's byte limits in the ANSI code page, the port to 16 bits.
inline constexpr size_t kServerHostMaxBytes = 15;
inline constexpr size_t kServerUrlMaxBytes = 100;
inline constexpr char kDefaultServerUrl[] = "/lumo7/";

struct ServerConfig {
  std::string host;
  uint16_t port = 0;
  std::string url;
};

// The accessors below swallow every failure: a failed read gives the defaults, a failed
// write is lost.
ServerConfig ReadServerConfig();
// Stores the page path without its leading "/".
void SaveServerConfig(const std::string& host, int32_t port, const std::string& url);
bool ReadFixHost(bool current);
void SaveFixHost(bool value);
std::string ReadLastPath();
void SaveLastPath(const std::string& path);

// `utf8` converted to the ANSI code page, cut to at most `maxBytes` bytes without splitting
// a double-byte character, and converted back to UTF-8.
std::string CutToAnsiBytes(std::string_view utf8, size_t maxBytes);

// The run-options file of an executable: every ".exe" (any case) replaced by ".cnfg"; a path
// without ".exe" gets ".cnfg" appended.
std::string RunOptionsFileName(std::string_view exePath);
// "FullScreenOnRun" of one run-options file, read now.
bool ReadRunOptionsFile(const std::string& fileName);
// "FullScreenOnRun" of this executable's run-options file, read at the first call only.
bool ReadRunOptions();

// The device identifier, HKEY_CURRENT_USER "SOFTWARE\ZENT" "MachineGuid", created as a new
// GUID the first time. Failures are swallowed and logged; the result may then be empty.
std::string ObtainDeviceId();
// A new random GUID in registry text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string NewGuidText();

}  // namespace zent
