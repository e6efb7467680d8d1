// Fixtures of the signature tests: key pairs, packages signed in the test, and copies of an
// executable whose version note says another version.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "update/PackageSignature.h"
#include "UpdateTestSupport.h"

namespace zent::testing {

struct KeyPair {
  UpdatePublicKey pub{};
  UpdateSecretKey secret{};
  KeyPair() { MakeKeyPair(pub, secret); }
  TrustedKey Trusted(const std::string& origin) const { return {pub, origin}; }
};

// Writes `bytes` to `path` and signs it with `key`.
inline void WriteSigned(const std::string& path, const std::string& bytes, const KeyPair& key) {
  WriteFile(path, bytes);
  SignPackage(path, key.secret);
}

// `bytes` (an executable of ours) with its version note's fixed part saying a.b.c.d.
inline std::string Restamped(std::string bytes, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  static const char kFixedSignature[] = {'\xBD', '\x04', '\xEF', '\xFE', '\x00', '\x00', '\x01', '\x00'};
  const size_t at = bytes.find(std::string(kFixedSignature, sizeof kFixedSignature));
  EXPECT_NE(at, std::string::npos) << "no version note";
  if (at == std::string::npos) return bytes;
  const uint32_t ms = (uint32_t{a} << 16) | b, ls = (uint32_t{c} << 16) | d;
  for (int i = 0; i < 4; ++i) {
    const uint32_t v = (i % 2 == 0) ? ms : ls;  // file version, then product version
    for (int k = 0; k < 4; ++k) bytes[at + 8 + 4 * i + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  }
  return bytes;
}

}  // namespace zent::testing
