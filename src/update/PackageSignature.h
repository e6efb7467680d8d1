// Signed update packages: an installer is trusted only when its signature verifies against a
// public key we trust. The signature is appended to the package and covers every byte before
// it:
//   <signed bytes> <signature block>
//   signature block (80 bytes): u8[64] Ed25519ph signature (libsodium's multi-part form, the
//            context text kSignatureContext hashed first, then the signed bytes),
//            u64 little-endian length of the signed bytes, "ZSIG0001"
// A package is valid only when its size is exactly that length + 80 and the signature
// verifies against one of the keys. Verification streams the file (a package may be large)
// and never trusts the length field beyond the file's size.
// Key files are text: one line "ed25519-public:" + 64 hexadecimal digits (public key) or
// "ed25519-secret:" + 128 hexadecimal digits (libsodium's 64-byte secret key), a final
// newline allowed, nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zent {

inline constexpr char kSignatureMagic[] = "ZSIG0001";
inline constexpr size_t kSignatureBlockSize = 80;
inline constexpr char kSignatureContext[] = "Lumo7Browser update package v1";

using UpdatePublicKey = std::array<unsigned char, 32>;
using UpdateSecretKey = std::array<unsigned char, 64>;

// A key we trust and where it came from ("built-in" or the key file's path), for the log.
struct TrustedKey {
  UpdatePublicKey key{};
  std::string origin;
};

struct SignatureCheck {
  bool valid = false;
  std::string reason;     // why it was refused, a readable text; empty when valid
  std::string keyOrigin;  // the key that verified it
  uint64_t signedSize = 0;
};

// Verifies the package at `path` against `keys`. Never throws for a bad package.
SignatureCheck VerifyPackageSignature(const std::string& path, const std::vector<TrustedKey>& keys);

// The size of the signed part of a file of `fileSize` bytes whose last 80 bytes (or fewer)
// are `tail`: nullopt when the file carries no well-formed signature block. The installer
// uses it to find its own trailer in front of the signature.
std::optional<uint64_t> SignedSizeOf(std::string_view tail, uint64_t fileSize);

// Appends a signature block to the file at `path`. Throws std::runtime_error with a readable
// text on failure.
void SignPackage(const std::string& path, const UpdateSecretKey& secret);

// Key files. False (and `why` set) when the text is not exactly one key of that kind.
bool ParsePublicKey(std::string_view text, UpdatePublicKey& key, std::string& why);
bool ParseSecretKey(std::string_view text, UpdateSecretKey& key, std::string& why);
std::string FormatPublicKey(const UpdatePublicKey& key);
std::string FormatSecretKey(const UpdateSecretKey& key);

// A fresh key pair.
void MakeKeyPair(UpdatePublicKey& publicKey, UpdateSecretKey& secretKey);

}  // namespace zent
