// Digests of update packages: the MD5 the update service announces for a download (compared
// while the bytes stream in) and the SHA-256 that identifies a package handed to the
// installer. The system's own cryptography does the hashing (platform/Digest.h).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zent {

// A digest computed piece by piece; Hex() ends it and gives lowercase hexadecimal digits.
class TDigest {
 public:
  enum class Kind { Md5, Sha256 };
  explicit TDigest(Kind kind);
  ~TDigest();
  TDigest(const TDigest&) = delete;
  TDigest& operator=(const TDigest&) = delete;

  void Update(const char* data, size_t size);
  std::string Hex();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The SHA-256 of a file's bytes in lowercase hexadecimal; empty when it cannot be read.
std::string FileSha256(const std::string& path);

// Whether the announced "md5" is a digest we can check: exactly 32 hexadecimal digits, any
// case. Any other value only names the package file.
bool IsHexMd5(std::string_view md5);

// Why a download whose bytes have the MD5 `actualHex` is refused for the announced `md5`
// (the text for the log), or nullopt when it is acceptable: a hexadecimal `md5` must match,
// ignoring case; any other value is not checked.
std::optional<std::string> Md5Refusal(std::string_view md5, std::string_view actualHex);

}  // namespace zent
