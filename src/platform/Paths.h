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

}  // namespace zent::platform
