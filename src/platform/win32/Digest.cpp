// Windows: CNG (BCrypt), the system's own hashing; the algorithm providers are opened once
// per process and shared, each Digest has its own hash object.
#include "platform/Digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

namespace zent::platform {
namespace {

BCRYPT_ALG_HANDLE Provider(Digest::Algorithm algorithm) {
  struct Providers {
    BCRYPT_ALG_HANDLE md5 = nullptr;
    BCRYPT_ALG_HANDLE sha256 = nullptr;
    Providers() {
      BCryptOpenAlgorithmProvider(&md5, BCRYPT_MD5_ALGORITHM, nullptr, 0);
      BCryptOpenAlgorithmProvider(&sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    }
  };
  static const Providers providers;  // lives as long as the process
  return algorithm == Digest::Algorithm::Md5 ? providers.md5 : providers.sha256;
}

}  // namespace

struct Digest::Impl {
  BCRYPT_HASH_HANDLE hash = nullptr;
  ULONG length = 0;
  ~Impl() {
    if (hash) BCryptDestroyHash(hash);
  }
};

Digest::Digest(Algorithm algorithm) : impl_(std::make_unique<Impl>()) {
  BCRYPT_ALG_HANDLE provider = Provider(algorithm);
  ULONG got = 0;
  // The hash object's memory is kept by BCrypt itself (Windows 7 and later).
  if (!provider ||
      !BCRYPT_SUCCESS(BCryptGetProperty(provider, BCRYPT_HASH_LENGTH,
                                        reinterpret_cast<PUCHAR>(&impl_->length),
                                        sizeof impl_->length, &got, 0)) ||
      !BCRYPT_SUCCESS(BCryptCreateHash(provider, &impl_->hash, nullptr, 0, nullptr, 0, 0))) {
    throw std::runtime_error("BCrypt has no such digest");
  }
}

Digest::~Digest() = default;

void Digest::Update(const void* data, size_t size) noexcept {
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  while (size > 0) {  // BCryptHashData takes a 32-bit length
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    BCryptHashData(impl_->hash, bytes, piece, 0);
    bytes += piece;
    size -= piece;
  }
}

std::vector<unsigned char> Digest::Final() noexcept {
  std::vector<unsigned char> md(impl_->length);
  BCryptFinishHash(impl_->hash, md.data(), impl_->length, 0);
  return md;
}

}  // namespace zent::platform
