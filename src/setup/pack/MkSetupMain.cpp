// Build tool: makes the installer from the installer program and the program folder.
// Usage: zent-mksetup STUB PROGRAM_FOLDER MAIN_NAME OUTPUT
#include <cstdio>
#include <exception>

#include "setup/SetupArchive.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s STUB PROGRAM_FOLDER MAIN_NAME OUTPUT\n", argv[0]);
    return 2;
  }
  try {
    zent::setup::WriteInstaller(argv[1], argv[2], argv[3], argv[4]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
