// The installed-programs entry: the uninstall key in the machine hive, in the layout the
// installer writes, kept pointing at the folder the program really runs from. Process
// initialisation rewrites the entry when it is missing or its folder is gone; the
// self-update reads its "InstallLocation" as the folder to install into.
#pragma once

#include <string>

namespace zent {

inline constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1";

// What the entry says about one installation.
struct TInstallInfo {
  std::string folder;       // with a trailing "/"
  std::string version;      // dotted
  std::string installDate;  // "yyyymmdd"
};

// The running program: its folder, its version and today's local date.
TInstallInfo CurrentInstallInfo();

// "InstallLocation" of the entry; empty when the key or the value is missing.
std::string GetInstallLocation();

// Writes every value of the entry, creating the key when missing. A hive that cannot be
// opened for writing is left alone (logged at level 1); a value that fails to be written
// is logged as "SetLumo7BrowserInstallPath异常". Never throws.
void WriteInstallRegistration(const TInstallInfo& info);

// Writes the entry for `info` when "InstallLocation" names no existing folder (a link to
// one does not count). Never throws.
void CheckInstallRegistration(const TInstallInfo& info);
// Process initialisation: the same for the running program.
void CheckInstallRegistration();

}  // namespace zent
