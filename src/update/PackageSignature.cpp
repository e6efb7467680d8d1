#include "update/PackageSignature.h"

#include <sodium.h>

#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "platform/FsPath.h"
#include "platform/ReadOnlyFile.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

constexpr size_t kSignatureSize = crypto_sign_BYTES;  // 64
constexpr size_t kMagicSize = sizeof kSignatureMagic - 1;
constexpr size_t kChunk = 1 << 20;
constexpr char kPublicPrefix[] = "ed25519-public:";
constexpr char kSecretPrefix[] = "ed25519-secret:";
static_assert(kSignatureSize + 8 + kMagicSize == kSignatureBlockSize);

bool SodiumReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = ::sodium_init() >= 0; });
  return ready;
}

uint64_t GetLe64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

enum class Block { kNoMagic, kBadLength, kOk };

// The signature block at the end of a file of `fileSize` bytes (fileSize >= 80).
Block ReadBlock(const unsigned char* block, uint64_t fileSize, uint64_t& signedSize) {
  if (std::memcmp(block + kSignatureSize + 8, kSignatureMagic, kMagicSize) != 0) return Block::kNoMagic;
  signedSize = GetLe64(block + kSignatureSize);
  // Compared against the file, never used to size anything: a huge length cannot overflow.
  return signedSize == fileSize - kSignatureBlockSize ? Block::kOk : Block::kBadLength;
}

// The hash state after the context text and the first `size` bytes of `file`; false when the
// file ends early or cannot be read.
bool HashSignedPart(const platform::ReadOnlyFile& file, uint64_t size, crypto_sign_state& state,
                    std::string& why) {
  crypto_sign_init(&state);
  crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(kSignatureContext),
                     sizeof kSignatureContext - 1);
  std::vector<unsigned char> buf(kChunk);
  for (uint64_t done = 0; done < size;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size - done, buf.size()));
    size_t got = 0;
    if (auto ec = file.ReadAt(done, buf.data(), want, got)) {
      why = "cannot be read: " + platform::ErrorText(ec);
      return false;
    }
    if (got != want) {
      why = "changed while it was read";
      return false;
    }
    crypto_sign_update(&state, buf.data(), got);
    done += got;
  }
  return true;
}

std::string OpenError(const std::string& path, const std::error_code& ec) {
  if (ec == std::errc::invalid_argument) return path + ": not a regular file";
  if (ec == std::errc::no_such_file_or_directory) return path + ": missing";
  return path + ": cannot be opened: " + platform::ErrorText(ec);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One line "<prefix><hex>" with an optional final newline, the hex filling `out` exactly.
bool ParseKeyLine(std::string_view text, std::string_view prefix, std::string_view otherPrefix,
                  unsigned char* out, size_t outSize, std::string& why) {
  if (text.ends_with('\n')) text.remove_suffix(1);
  if (text.empty()) {
    why = "empty";
    return false;
  }
  if (!text.starts_with(prefix)) {
    why = text.starts_with(otherPrefix) ? "holds a " + std::string(otherPrefix.substr(8, 6)) + " key, not a " +
                                              std::string(prefix.substr(8, 6)) + " key"
                                        : "does not start with \"" + std::string(prefix) + "\"";
    return false;
  }
  const std::string_view hex = text.substr(prefix.size());
  if (hex.size() != 2 * outSize) {
    why = std::to_string(hex.size()) + " hexadecimal digits, not " + std::to_string(2 * outSize);
    return false;
  }
  for (size_t i = 0; i < outSize; ++i) {
    const int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) {
      why = "not hexadecimal";
      return false;
    }
    out[i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  return true;
}

std::string Hex(const unsigned char* data, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < size; ++i) {
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 15];
  }
  return s;
}

}  // namespace

std::optional<uint64_t> SignedSizeOf(std::string_view tail, uint64_t fileSize) {
  if (tail.size() < kSignatureBlockSize || fileSize < kSignatureBlockSize) return std::nullopt;
  const auto* block = reinterpret_cast<const unsigned char*>(tail.data() + tail.size() - kSignatureBlockSize);
  uint64_t signedSize = 0;
  if (ReadBlock(block, fileSize, signedSize) != Block::kOk) return std::nullopt;
  return signedSize;
}

SignatureCheck VerifyPackageSignature(const std::string& path, const std::vector<TrustedKey>& keys) {
  SignatureCheck check;
  auto refuse = [&](std::string why) {
    check.reason = std::move(why);
    return check;
  };
  if (keys.empty()) return refuse("no trusted key to check " + path + " against");
  if (!SodiumReady()) return refuse("the signature library could not start");
  platform::ReadOnlyFile file;
  if (auto ec = file.Open(path)) return refuse(OpenError(path, ec));
  const uint64_t size = file.Size();
  if (size < kSignatureBlockSize)
    return refuse(path + ": unsigned (" + std::to_string(size) + " bytes, too short for a signature)");
  unsigned char block[kSignatureBlockSize];
  size_t got = 0;
  if (auto ec = file.ReadAt(size - kSignatureBlockSize, block, sizeof block, got))
    return refuse(path + ": cannot be read: " + platform::ErrorText(ec));
  if (got != sizeof block) return refuse(path + ": changed while it was read");
  uint64_t signedSize = 0;
  switch (ReadBlock(block, size, signedSize)) {
    case Block::kNoMagic:
      return refuse(path + ": unsigned (no signature block)");
    case Block::kBadLength:
      return refuse(path + ": damaged signature block (it claims " + std::to_string(signedSize) +
                    " signed bytes, the file has " + std::to_string(size - kSignatureBlockSize) + ")");
    case Block::kOk:
      break;
  }
  crypto_sign_state state;
  std::string why;
  if (!HashSignedPart(file, signedSize, state, why)) return refuse(path + ": " + why);
  for (const auto& key : keys) {
    crypto_sign_state copy = state;  // verifying finishes the hash
    if (crypto_sign_final_verify(&copy, block, key.key.data()) == 0) {
      check.valid = true;
      check.keyOrigin = key.origin;
      check.signedSize = signedSize;
      return check;
    }
  }
  return refuse(path + ": signed with an unknown key or damaged");
}

void SignPackage(const std::string& path, const UpdateSecretKey& secret) {
  if (!SodiumReady()) throw std::runtime_error("the signature library could not start");
  platform::ReadOnlyFile file;
  if (auto ec = file.Open(path)) throw std::runtime_error(OpenError(path, ec));
  const uint64_t size = file.Size();
  if (size >= kSignatureBlockSize) {
    unsigned char tail[kSignatureBlockSize];
    size_t got = 0;
    if (!file.ReadAt(size - kSignatureBlockSize, tail, sizeof tail, got) && got == sizeof tail &&
        SignedSizeOf({reinterpret_cast<const char*>(tail), sizeof tail}, size))
      throw std::runtime_error(path + ": already signed");
  }
  crypto_sign_state state;
  std::string why;
  if (!HashSignedPart(file, size, state, why)) throw std::runtime_error(path + ": " + why);
  std::string block(kSignatureBlockSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(block.data());
  if (crypto_sign_final_create(&state, out, nullptr, secret.data()) != 0)
    throw std::runtime_error(path + ": signing failed");
  for (int i = 0; i < 8; ++i) out[kSignatureSize + i] = static_cast<unsigned char>((size >> (8 * i)) & 0xFF);
  std::memcpy(out + kSignatureSize + 8, kSignatureMagic, kMagicSize);
  std::fstream f(platform::FsPath(path), std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(0, std::ios::end);
  if (!f || static_cast<uint64_t>(f.tellp()) != size) throw std::runtime_error(path + ": changed while it was signed");
  f.write(block.data(), static_cast<std::streamsize>(block.size()));
  f.close();
  if (!f) throw std::runtime_error(path + ": the signature could not be written");
}

bool ParsePublicKey(std::string_view text, UpdatePublicKey& key, std::string& why) {
  UpdatePublicKey parsed{};
  if (!ParseKeyLine(text, kPublicPrefix, kSecretPrefix, parsed.data(), parsed.size(), why)) return false;
  key = parsed;
  return true;
}

bool ParseSecretKey(std::string_view text, UpdateSecretKey& key, std::string& why) {
  UpdateSecretKey parsed{};
  if (!ParseKeyLine(text, kSecretPrefix, kPublicPrefix, parsed.data(), parsed.size(), why)) return false;
  // libsodium's secret key is the seed followed by its public key: both halves must agree.
  if (!SodiumReady()) {
    why = "the signature library could not start";
    return false;
  }
  UpdatePublicKey pk{};
  UpdateSecretKey again{};
  crypto_sign_seed_keypair(pk.data(), again.data(), parsed.data());
  const bool same = sodium_memcmp(again.data(), parsed.data(), parsed.size()) == 0;
  sodium_memzero(again.data(), again.size());
  if (!same) {
    sodium_memzero(parsed.data(), parsed.size());
    why = "damaged (its public half does not belong to it)";
    return false;
  }
  key = parsed;
  sodium_memzero(parsed.data(), parsed.size());
  return true;
}

std::string FormatPublicKey(const UpdatePublicKey& key) {
  return kPublicPrefix + Hex(key.data(), key.size()) + "\n";
}

std::string FormatSecretKey(const UpdateSecretKey& key) {
  return kSecretPrefix + Hex(key.data(), key.size()) + "\n";
}

void MakeKeyPair(UpdatePublicKey& publicKey, UpdateSecretKey& secretKey) {
  if (!SodiumReady()) throw std::runtime_error("the signature library could not start");
  crypto_sign_keypair(publicKey.data(), secretKey.data());
}

}  // namespace zent
