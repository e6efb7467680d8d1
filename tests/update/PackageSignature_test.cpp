#include "update/PackageSignature.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "SignatureTestSupport.h"

namespace zent {
namespace {

using namespace zent::testing;

// A package as the build makes it: a stub, a payload larger than one read block (the check
// streams), and the signature block.
constexpr size_t kStubSize = 4096;
std::string PackageBytes() {
  std::string bytes(kStubSize, '\0');
  bytes.replace(0, 4, "\x7F" "ELF");
  for (size_t i = 0; i < (5u << 19); ++i) bytes += static_cast<char>(i * 7 % 251);
  return bytes;
}

void FlipByte(const std::string& path, uint64_t at) {
  std::string bytes = ReadFile(path);
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  WriteFile(path, bytes);
}

void SetLength(const std::string& path, uint64_t length) {
  std::string bytes = ReadFile(path);
  for (int i = 0; i < 8; ++i) bytes[bytes.size() - 16 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  WriteFile(path, bytes);
}

class PackageSignatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    package_ = folder_ + "DO2_U_setup.exe";
    bytes_ = PackageBytes();
  }
  std::string folder_, package_, bytes_;
  KeyPair trusted_, stranger_;
};

struct Damage {
  const char* name;
  std::function<void(const std::string& path, const std::string& bytes, const KeyPair& stranger)> apply;
  const char* reason;  // part of the refusal's text
};

TEST_F(PackageSignatureTest, OnlyAnIntactPackageSignedWithATrustedKeyIsValid) {
  const uint64_t signedSize = PackageBytes().size();
  const std::vector<Damage> cases = {
      {"signed with a key we do not trust",
       [](const std::string& p, const std::string& b, const KeyPair& k) { WriteSigned(p, b, k); },
       "signed with an unknown key or damaged"},
      {"a byte of the stub", [](const std::string& p, auto&, auto&) { FlipByte(p, 100); },
       "signed with an unknown key or damaged"},
      {"a byte of the payload", [&](const std::string& p, auto&, auto&) { FlipByte(p, signedSize - 3); },
       "signed with an unknown key or damaged"},
      {"a byte of the signature", [&](const std::string& p, auto&, auto&) { FlipByte(p, signedSize + 10); },
       "signed with an unknown key or damaged"},
      {"a byte of the length field", [&](const std::string& p, auto&, auto&) { FlipByte(p, signedSize + 64); },
       "damaged signature block"},
      {"a length one larger than the file", [&](const std::string& p, auto&, auto&) { SetLength(p, signedSize + 1); },
       "damaged signature block"},
      {"a length that would overflow", [](const std::string& p, auto&, auto&) { SetLength(p, ~uint64_t{0}); },
       "damaged signature block"},
      {"cut inside the signature block",
       [](const std::string& p, auto&, auto&) { std::filesystem::resize_file(p, std::filesystem::file_size(p) - 20); },
       "unsigned"},
      {"payload appended after signing",
       [](const std::string& p, auto&, auto&) { WriteFile(p, ReadFile(p) + "more"); }, "unsigned"},
      {"a signature block moved to another package",
       [](const std::string& p, auto&, auto&) {
         const std::string s = ReadFile(p);
         WriteFile(p, std::string(s.size() - kSignatureBlockSize, 'A') + s.substr(s.size() - kSignatureBlockSize));
       },
       "signed with an unknown key or damaged"},
      {"never signed", [](const std::string& p, const std::string& b, auto&) { WriteFile(p, b); }, "unsigned"},
      {"empty", [](const std::string& p, auto&, auto&) { WriteFile(p, ""); }, "unsigned"},
      {"a plain script", [](const std::string& p, auto&, auto&) { WriteFile(p, "#!/bin/sh\nrm -rf /opt\n"); },
       "unsigned"},
      {"an ELF header of another architecture",
       [](const std::string& p, auto&, auto&) {
         std::string elf = std::string("\x7F" "ELF\x02\x01\x01\x00", 8) + std::string(8, '\0') +
                           std::string("\x02\x00\xB7\x00\x01\x00\x00\x00", 8);  // aarch64 executable
         elf.resize(120, '\0');
         WriteFile(p, elf);
       },
       "unsigned"},
  };
  WriteSigned(package_, bytes_, trusted_);
  const SignatureCheck good = VerifyPackageSignature(package_, {trusted_.Trusted("built-in")});
  EXPECT_TRUE(good.valid) << good.reason;
  EXPECT_EQ(good.keyOrigin, "built-in");
  EXPECT_EQ(good.signedSize, signedSize);
  EXPECT_EQ(good.reason, "");

  for (const auto& c : cases) {
    WriteSigned(package_, bytes_, trusted_);
    c.apply(package_, bytes_, stranger_);
    const SignatureCheck check = VerifyPackageSignature(package_, {trusted_.Trusted("built-in")});
    EXPECT_FALSE(check.valid) << c.name;
    EXPECT_NE(check.reason.find(c.reason), std::string::npos) << c.name << ": " << check.reason;
    EXPECT_NE(check.reason.find(package_), std::string::npos) << c.name << ": " << check.reason;
  }
}

TEST_F(PackageSignatureTest, AnyOfTheTrustedKeysVerifies) {
  WriteSigned(package_, bytes_, trusted_);
  const SignatureCheck check =
      VerifyPackageSignature(package_, {stranger_.Trusted("built-in"), trusted_.Trusted("/etc/keys/vendor.pub")});
  EXPECT_TRUE(check.valid) << check.reason;
  EXPECT_EQ(check.keyOrigin, "/etc/keys/vendor.pub");
  const SignatureCheck none = VerifyPackageSignature(package_, {});
  EXPECT_FALSE(none.valid);
  EXPECT_NE(none.reason.find("no trusted key"), std::string::npos) << none.reason;
}

TEST_F(PackageSignatureTest, WhatIsNoPackageIsRefusedWithItsReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {folder_ + "missing.exe", "missing"},
      {folder_, "not a regular file"},
  };
  for (const auto& [path, reason] : cases) {
    const SignatureCheck check = VerifyPackageSignature(path, {trusted_.Trusted("built-in")});
    EXPECT_FALSE(check.valid) << path;
    EXPECT_NE(check.reason.find(reason), std::string::npos) << check.reason;
  }
}

TEST_F(PackageSignatureTest, SigningTwiceIsRefused) {
  WriteSigned(package_, bytes_, trusted_);
  const std::string once = ReadFile(package_);
  EXPECT_THROW(SignPackage(package_, trusted_.secret), std::runtime_error);
  EXPECT_EQ(ReadFile(package_), once);
  EXPECT_THROW(SignPackage(folder_ + "missing.exe", trusted_.secret), std::runtime_error);
}

TEST(SignedSizeOf, FindsTheSignedPartOnlyInAWellFormedBlock) {
  KeyPair key;
  const std::string folder = FreshFolder("SignedSizeOf");
  WriteSigned(folder + "p", "installer bytes", key);
  const std::string whole = ReadFile(folder + "p");
  const std::string tail = whole.substr(whole.size() - kSignatureBlockSize);
  EXPECT_EQ(SignedSizeOf(tail, whole.size()), 15u);
  EXPECT_EQ(SignedSizeOf(whole, whole.size()), 15u);  // a longer tail: its last 80 bytes count
  EXPECT_EQ(SignedSizeOf(tail, whole.size() + 1), std::nullopt);
  EXPECT_EQ(SignedSizeOf(tail.substr(1), whole.size()), std::nullopt);
  EXPECT_EQ(SignedSizeOf(tail, 79), std::nullopt);
  EXPECT_EQ(SignedSizeOf(std::string(80, '\0'), 80), std::nullopt);
  EXPECT_EQ(SignedSizeOf("", 0), std::nullopt);
}

TEST(UpdateKeyText, OnlyExactlyOneKeyOfTheRightKindParses) {
  KeyPair key;
  const std::string pub = FormatPublicKey(key.pub), secret = FormatSecretKey(key.secret);
  const std::string hex = pub.substr(15, 64);
  struct Case {
    std::string text;
    const char* why;  // empty: valid
  };
  const std::vector<Case> cases = {
      {pub, ""},
      {pub.substr(0, pub.size() - 1), ""},  // no final newline
      {"ed25519-public:" + std::string(hex.size(), 'A').replace(0, 2, "0f"), ""},  // upper case
      {"", "empty"},
      {"\n", "empty"},
      {pub + pub, "hexadecimal digits"},  // two keys
      {pub + "\n", "hexadecimal digits"},
      {"ed25519-public:" + hex + "00", "66 hexadecimal digits"},
      {"ed25519-public:" + hex.substr(2), "62 hexadecimal digits"},
      {"ED25519-public:" + hex, "does not start with"},
      {"ssh-ed25519 " + hex, "does not start with"},
      {"ed25519-public:" + hex.substr(0, 62) + "zz", "not hexadecimal"},
      {"ed25519-public:" + hex.substr(0, 62) + "\r\n", "hexadecimal"},
      {secret, "holds a secret key, not a public key"},
  };
  for (const auto& c : cases) {
    UpdatePublicKey parsed{};
    std::string why;
    const bool ok = ParsePublicKey(c.text, parsed, why);
    EXPECT_EQ(ok, *c.why == '\0') << c.text << " -> " << why;
    if (!ok) EXPECT_NE(why.find(c.why), std::string::npos) << c.text << " -> " << why;
  }
  UpdatePublicKey parsed{};
  std::string why;
  ASSERT_TRUE(ParsePublicKey(pub, parsed, why));
  EXPECT_EQ(parsed, key.pub);

  UpdateSecretKey secretParsed{};
  ASSERT_TRUE(ParseSecretKey(secret, secretParsed, why)) << why;
  EXPECT_EQ(secretParsed, key.secret);
  EXPECT_FALSE(ParseSecretKey(pub, secretParsed, why));
  EXPECT_NE(why.find("holds a public key"), std::string::npos) << why;
  // The public half of another pair: a damaged secret key, never used to sign.
  KeyPair other;
  const std::string mixed = secret.substr(0, 15 + 64) + FormatPublicKey(other.pub).substr(15);
  EXPECT_FALSE(ParseSecretKey(mixed, secretParsed, why));
  EXPECT_NE(why.find("damaged"), std::string::npos) << why;
}

}  // namespace
}  // namespace zent
