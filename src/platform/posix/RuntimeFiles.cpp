#include "platform/posix/RuntimeFiles.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace zent::platform {

std::error_code LastError() { return {errno, std::system_category()}; }

std::string UserRuntimeFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return run;
  return "/tmp/zent-" + std::to_string(::getuid());
}

std::error_code MakePrivateFolders(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return LastError();
  }
  return {};
}

bool MakeUnixAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace zent::platform
