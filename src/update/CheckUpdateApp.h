// The pending-update hand-off at start (first instance only, before any window): a package a
// previous run downloaded is handed to the update script, or deleted when it is not to be
// installed. A main package ("Temp/ExeBuf/") is installed whenever its version differs from
// the program's; a fallback package ("Temp/ExeBuf_O/") only when it is newer.
#pragma once

#include <functional>
#include <string>

namespace zent {

struct THandOffContext {
  std::string appVersion;
  std::string installBase;  // ends in "/"
  // Starts the script for a package; ExecUpdate in the program.
  std::function<bool(const std::string& package)> execUpdate;
  int fallbackDeleteDelayMs = 200;
};

// True when the update script was started: the caller ends the process at once.
bool CheckUpdateApp();
bool CheckUpdateApp(const THandOffContext& context);

}  // namespace zent
