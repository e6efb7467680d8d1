// POSIX: OpenSSL's EVP interface (the library the Linux build links for TLS anyway).
#include "platform/Digest.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace zent::platform {

struct Digest::Impl {
  EVP_MD_CTX* ctx = nullptr;
  ~Impl() { EVP_MD_CTX_free(ctx); }
};

Digest::Digest(Algorithm algorithm) : impl_(std::make_unique<Impl>()) {
  impl_->ctx = EVP_MD_CTX_new();
  const EVP_MD* md = algorithm == Algorithm::Md5 ? EVP_md5() : EVP_sha256();
  if (!impl_->ctx || EVP_DigestInit_ex(impl_->ctx, md, nullptr) != 1) {
    throw std::runtime_error("OpenSSL has no such digest");
  }
}

Digest::~Digest() = default;

void Digest::Update(const void* data, size_t size) noexcept {
  EVP_DigestUpdate(impl_->ctx, data, size);
}

std::vector<unsigned char> Digest::Final() noexcept {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(impl_->ctx, md, &len);
  return {md, md + len};
}

}  // namespace zent::platform
