// The installer program: this small program with the program folder appended to it (see
// setup/SetupArchive.h). It carries the version note, so its version reads like the program's.
#include <exception>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "setup/SetupInstall.h"

int main(int argc, char** argv) {
  try {
    return zent::setup::RunSetup(zent::platform::ExecutablePath(),
                                 std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception&) {
    return zent::setup::kSetupFailed;
  }
}
