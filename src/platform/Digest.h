// Message digests through the system's own cryptography: the MD5 the update service announces
// for a download and the SHA-256 that names an update package (OpenSSL's EVP on Linux, the
// CNG BCrypt interface on Windows).
// Contract: Update() any number of times, then Final() once; Final() gives the raw digest
// (16 bytes for MD5, 32 for SHA-256). The constructor throws std::runtime_error when the
// system cannot provide the algorithm; nothing fails after that.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace zent::platform {

class Digest {
 public:
  enum class Algorithm { Md5, Sha256 };
  explicit Digest(Algorithm algorithm);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Update(const void* data, size_t size) noexcept;
  std::vector<unsigned char> Final() noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zent::platform
