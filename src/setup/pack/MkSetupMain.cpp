// Build tool: makes the installer from the installer program and the program folder, and
// signs it when given a secret key file (update packages are installed only when signed).
// Usage: zent-mksetup [--sign SECRET_FILE] STUB PROGRAM_FOLDER MAIN_NAME OUTPUT
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FsPath.h"
#include "setup/SetupArchive.h"
#include "update/PackageSignature.h"

namespace {

zent::UpdateSecretKey ReadSecretKey(const std::string& path) {
  std::ifstream f(zent::platform::FsPath(path), std::ios::binary);
  std::ostringstream text;
  text << f.rdbuf();
  zent::UpdateSecretKey key{};
  std::string why;
  if (!f || !zent::ParseSecretKey(text.str(), key, why)) throw std::runtime_error(path + ": " + (f ? why : "cannot be read"));
  return key;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string secretFile;
  if (args.size() >= 2 && args[0] == "--sign") {
    secretFile = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: %s [--sign SECRET_FILE] STUB PROGRAM_FOLDER MAIN_NAME OUTPUT\n", argv[0]);
    return 2;
  }
  try {
    // The key is read first: a bad key file leaves no unsigned installer behind.
    const auto key = secretFile.empty() ? zent::UpdateSecretKey{} : ReadSecretKey(secretFile);
    zent::setup::WriteInstaller(args[0], args[1], args[2], args[3], secretFile.empty() ? nullptr : &key);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
