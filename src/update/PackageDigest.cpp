#include "update/PackageDigest.h"

#include <fstream>
#include <vector>

#include "common/Encoding.h"
#include "platform/Digest.h"
#include "platform/FsPath.h"

namespace zent {

struct TDigest::Impl {
  explicit Impl(Kind kind)
      : digest(kind == Kind::Md5 ? platform::Digest::Algorithm::Md5 : platform::Digest::Algorithm::Sha256) {}
  platform::Digest digest;
};

TDigest::TDigest(Kind kind) : impl_(std::make_unique<Impl>(kind)) {}

TDigest::~TDigest() = default;

void TDigest::Update(const char* data, size_t size) { impl_->digest.Update(data, size); }

std::string TDigest::Hex() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : impl_->digest.Final()) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
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
