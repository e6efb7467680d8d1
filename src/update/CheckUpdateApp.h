// The pending-update hand-off at start (first instance only, before any window): a package a
// previous run downloaded is handed to the update script, or deleted when it is not to be
// installed. A main package ("Temp/ExeBuf/") is installed whenever its version differs from
// the program's; a fallback package ("Temp/ExeBuf_O/") only when it is newer. Nothing is
// handed off unless its signature verifies: anyone who can write the package folder could
// otherwise run code at the next start. A package whose installation left the program's
// version unchanged is removed at the following start and never handed off again
// (HandOffRecord.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "update/PackageSignature.h"

namespace zent {

struct THandOffContext {
  std::string appVersion;
  std::string installBase;  // ends in "/"
  // Starts the script for a package; ExecUpdate in the program.
  std::function<bool(const std::string& package)> execUpdate;
  int fallbackDeleteDelayMs = 200;
  std::vector<TrustedKey> keys;  // a package must verify against one of them
};

// True when the update script was started: the caller ends the process at once.
bool CheckUpdateApp();
bool CheckUpdateApp(const THandOffContext& context);

}  // namespace zent
