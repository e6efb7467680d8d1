// Files our processes share in the user's runtime folder (notice sockets, window channels,
// lock files): where they live, how a name becomes a file name, and the little-endian words
// the sockets carry. POSIX implementation files only.
#pragma once

#include <sys/un.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/LockNames.h"

namespace zent::platform {

// errno as an error code.
std::error_code LastError();

// $XDG_RUNTIME_DIR, else /tmp/zent-<uid>.
std::string UserRuntimeFolder();

// How a name becomes a file name: EncodeFileName in platform/LockNames.h.

// The folder of a role's notice sockets: "<runtime folder>/zent-notice/<encoded role name>".
// Not created here.
std::string RoleNoticeFolder(const std::string& roleName);

// "<runtime folder>/zent-window/<digest of the identity>.sock": a digest keeps the path within
// the socket address limit whatever the identity.
std::string WindowChannelPath(const std::string& identity);

// Creates every missing level of `path` private to the user; existing levels stay as they are.
std::error_code MakePrivateFolders(const std::string& path);

// The address of the socket file at `path`; false when the path is too long for one.
bool MakeUnixAddress(const std::string& path, sockaddr_un& addr);

void PutLe32(uint8_t* p, uint32_t v);
uint32_t GetLe32(const uint8_t* p);

}  // namespace zent::platform
