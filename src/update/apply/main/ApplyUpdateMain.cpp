// lumo7-apply-update: installs the pending update package as root, for members of the kiosk
// group through sudo (exactly this command, no arguments). Nothing of the caller is trusted:
// arguments are refused, the environment is replaced, and the package is checked as a copy
// in root's own folder (update/apply/ApplyUpdate.h). Each step goes to stderr and the system
// log.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/SystemLog.h"
#include "update/apply/ApplyUpdate.h"

namespace {

constexpr char kName[] = "lumo7-apply-update";

void Report(const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", kName, line.c_str());
  zent::platform::WriteSystemLog(kName, line);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zent;
  if (platform::ResetEnvironment(apply::kSafePath)) {
    Report("refused: the environment could not be cleared");
    return apply::kApplyRefused;
  }
  if (!apply::ArgumentsAccepted(std::vector<std::string>(argv + 1, argv + argc))) {
    Report("refused: this command takes no arguments");
    return apply::kApplyUsage;
  }
  try {
    return apply::ApplyUpdate(apply::ApplyPaths{}, 0, apply::RunInstaller, Report);
  } catch (const std::exception& e) {
    Report(std::string("failed: ") + e.what());
    return apply::kApplyRefused;
  }
}
