// Configure-time tool: makes the build's own update signing key pair when no key was given.
// Usage: MakeUpdateKeyPair SECRET_OUT PUBLIC_OUT. Writes the key files in the format of
// src/update/PackageSignature.h (the secret one mode 0600) and never overwrites a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <sodium.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

bool WriteNew(const char* path, const std::string& text, mode_t mode) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    std::perror(path);
    return false;
  }
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                  ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok) std::perror(path);
  return ok;
}

std::string Line(const char* prefix, const unsigned char* key, size_t size) {
  std::string hex(size * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), key, size);
  hex.pop_back();
  return prefix + hex + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || sodium_init() < 0) return 2;
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  const bool ok = WriteNew(argv[1], Line("ed25519-secret:", sk, sizeof sk), 0600) &&
                  WriteNew(argv[2], Line("ed25519-public:", pk, sizeof pk), 0644);
  sodium_memzero(sk, sizeof sk);
  return ok ? 0 : 1;
}
