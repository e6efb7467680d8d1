#include "update/PackageDigest.h"

#include <openssl/evp.h>

#include <fstream>
#include <new>
#include <vector>

#include "common/Encoding.h"
#include "platform/FsPath.h"

namespace zent {

struct TDigest::Impl {
  EVP_MD_CTX* ctx = nullptr;
  ~Impl() { EVP_MD_CTX_free(ctx); }
};

TDigest::TDigest(Kind kind) : impl_(std::make_unique<Impl>()) {
  impl_->ctx = EVP_MD_CTX_new();
  if (!impl_->ctx) throw std::bad_alloc();
  EVP_DigestInit_ex(impl_->ctx, kind == Kind::Md5 ? EVP_md5() : EVP_sha256(), nullptr);
}

TDigest::~TDigest() = default;

void TDigest::Update(const char* data, size_t size) { EVP_DigestUpdate(impl_->ctx, data, size); }

std::string TDigest::Hex() {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(impl_->ctx, md, &len);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < len; ++i) {
    hex += kDigits[md[i] >> 4];
    hex += kDigits[md[i] & 0xF];
  }
  return hex;
}

std::string FileSha256(const std::string& path) {
  std::ifstream in(platform::FsPath(path), std::ios::binary);
  if (!in) return {};
  TDigest digest(TDigest::Kind::Sha256);
  std::vector<char> buf(1 << 16);
  while (in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (in.gcount() > 0) digest.Update(buf.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return {};
  return digest.Hex();
}

bool IsHexMd5(std::string_view md5) {
  if (md5.size() != 32) return false;
  for (char c : md5) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::optional<std::string> Md5Refusal(std::string_view md5, std::string_view actualHex) {
  if (!IsHexMd5(md5) || EqualsNoCase(md5, actualHex)) return std::nullopt;
  return "升级包校验失败: MD5为" + std::string(actualHex) + "，应为" + std::string(md5);
}

}  // namespace zent
