#include "browser/rules/WindowRole.h"

namespace zent {

WindowRole WindowRoleOf(const CommandLine& commandLine) {
  WindowRole role;
  if (auto sub = commandLine.SubUrl()) {
    role.identityWindow = true;
    role.subUrl = *sub;
  }
  role.secondary = role.identityWindow || commandLine.IsSubScreenArg();
  return role;
}

}  // namespace zent
