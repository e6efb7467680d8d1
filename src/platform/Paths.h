// Where the program and its per-user data live.
// Contract: no function throws; failures come back as an empty result.
#pragma once

#include <optional>
#include <string>

namespace zent::platform {

// Full path of the running executable (Linux: the target of /proc/self/exe); empty on failure.
std::string ExecutablePath();

// The current user's roaming application-data folder with a trailing "/"
// (Linux: $XDG_CONFIG_HOME, else $HOME/.config); nullopt when neither is set.
// The folder is not created.
std::optional<std::string> RoamingAppDataFolder();

// Whether the running user may create and remove files in `folder` (access(2) with write and
// search permission, as the effective user); false for a missing folder.
bool IsWritableFolder(const std::string& folder);

}  // namespace zent::platform
