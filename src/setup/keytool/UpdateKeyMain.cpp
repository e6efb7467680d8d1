// The vendor's update key tool (docs/updates.md):
//   zent-updatekey keygen SECRET_OUT PUBLIC_OUT   a new key pair (the secret file mode 0600)
//   zent-updatekey sign SECRET_FILE PACKAGE       appends the signature block to PACKAGE
//   zent-updatekey verify PUBLIC_FILE PACKAGE     exit 0 when PACKAGE verifies, else 1
// Existing files are never overwritten and a signed package is never signed again.
#include <sodium.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "update/PackageSignature.h"
#include "platform/ErrorText.h"

namespace {

constexpr int kUsage = 2;

std::string ReadKeyText(const std::string& path) {
  std::ifstream f(zent::platform::FsPath(path), std::ios::binary);
  if (!f) throw std::runtime_error(path + ": cannot be read");
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// A new file with `text` (O_EXCL: an existing file, or a link in its place, is an error).
void WriteNew(const std::string& path, const std::string& text, unsigned mode) {
  if (auto ec = zent::platform::WriteNewFile(path, text, mode)) throw std::runtime_error(path + ": " + zent::platform::ErrorText(ec));
}

int Keygen(const std::string& secretOut, const std::string& publicOut) {
  zent::UpdatePublicKey pk{};
  zent::UpdateSecretKey sk{};
  zent::MakeKeyPair(pk, sk);
  std::string secretText = zent::FormatSecretKey(sk);
  sodium_memzero(sk.data(), sk.size());
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(zent::platform::FsPath(publicOut), ec)))
    throw std::runtime_error(publicOut + ": exists already");
  WriteNew(secretOut, secretText, 0600);
  sodium_memzero(secretText.data(), secretText.size());
  WriteNew(publicOut, zent::FormatPublicKey(pk), 0644);
  std::printf("%s", zent::FormatPublicKey(pk).c_str());
  return 0;
}

int Sign(const std::string& secretFile, const std::string& package) {
  std::string text = ReadKeyText(secretFile), why;
  zent::UpdateSecretKey sk{};
  const bool ok = zent::ParseSecretKey(text, sk, why);
  sodium_memzero(text.data(), text.size());
  if (!ok) throw std::runtime_error(secretFile + ": " + why);
  zent::SignPackage(package, sk);
  sodium_memzero(sk.data(), sk.size());
  return 0;
}

int Verify(const std::string& publicFile, const std::string& package) {
  std::string why;
  zent::TrustedKey key;
  if (!zent::ParsePublicKey(ReadKeyText(publicFile), key.key, why)) throw std::runtime_error(publicFile + ": " + why);
  key.origin = publicFile;
  const zent::SignatureCheck check = zent::VerifyPackageSignature(package, {key});
  if (!check.valid) {
    std::fprintf(stderr, "%s\n", check.reason.c_str());
    return 1;
  }
  std::printf("%s: valid, %llu signed bytes\n", package.c_str(), static_cast<unsigned long long>(check.signedSize));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc != 4 || (command != "keygen" && command != "sign" && command != "verify")) {
    std::fprintf(stderr,
                 "usage: %s keygen SECRET_OUT PUBLIC_OUT\n"
                 "       %s sign SECRET_FILE PACKAGE\n"
                 "       %s verify PUBLIC_FILE PACKAGE\n",
                 argv[0], argv[0], argv[0]);
    return kUsage;
  }
  try {
    if (command == "keygen") return Keygen(argv[2], argv[3]);
    if (command == "sign") return Sign(argv[2], argv[3]);
    return Verify(argv[2], argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
