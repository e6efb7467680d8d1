// Where the program and its per-user data live, and the process's current folder.
// Contract: no function throws; failures come back as an empty result or an error code.
#pragma once

#include <optional>
#include <string>
#include <system_error>

namespace zent::platform {

// Full path of the running executable (Linux: the target of /proc/self/exe); empty on failure.
std::string ExecutablePath();

// The current user's roaming application-data folder with a trailing separator
// (Linux: $XDG_CONFIG_HOME, else $HOME/.config, and "/"; Windows: %APPDATA%, else the known
// folder, and "\"); nullopt when there is none.
// The folder is not created.
std::optional<std::string> RoamingAppDataFolder();

// Whether the running user may create and remove files in `folder` (access(2) with write and
// search permission, as the effective user); false for a missing folder.
bool IsWritableFolder(const std::string& folder);

// Makes `folder` (UTF-8) the process's current folder, against which relative paths resolve.
std::error_code SetCurrentFolder(const std::string& folder);

}  // namespace zent::platform
