// The public keys an update package may be signed with: the one built into the program at
// build time, and key files in a folder only root may change. A key file that is not a
// regular file owned by root, or that group or others may write, is ignored and logged, and
// so is one that holds no key; the built-in key is always trusted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/PackageSignature.h"

namespace zent {

// The installed system's folder of further trusted keys (files ending in ".pub").
inline constexpr char kUpdateKeyFolder[] = "/etc/lumo7browser/update-keys/";

// The key the build put into the program.
UpdatePublicKey BuiltInUpdateKey();

// The built-in key, then the acceptable key files of `folder` (a missing folder adds none).
// `log` receives one readable line for every file that is ignored, with the reason.
std::vector<TrustedKey> LoadTrustedKeys(const std::string& folder,
                                        const std::function<void(const std::string&)>& log);

// The same with the owner the folder and its files must have: LoadTrustedKeys asks for root
// (0); tests pass their own user id.
std::vector<TrustedKey> LoadTrustedKeysOwnedBy(const std::string& folder, uint32_t owner,
                                               const std::function<void(const std::string&)>& log);

// The largest key file read; a key line is far shorter.
inline constexpr uint64_t kMaxKeyFileSize = 4096;

}  // namespace zent
