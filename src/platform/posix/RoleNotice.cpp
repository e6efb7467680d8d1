// POSIX: AF_UNIX datagram sockets named "<pid>.sock" in a per-role folder. A datagram is
// three little-endian 32-bit words: message, wParam, lParam.
#include "platform/RoleNotice.h"

#include <dirent.h>
#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zent::platform {
namespace {

constexpr size_t kNoticeSize = 12;

std::error_code LastError() { return {errno, std::system_category()}; }

std::string RuntimeFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return run;
  return "/tmp/zent-" + std::to_string(::getuid());
}

// Any byte outside [A-Za-z0-9._-] is percent-encoded so a role name cannot leave the folder.
std::string EncodeName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || (c == '.' && !out.empty());
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::error_code MakeFolder(const std::string& path) {
  // Each level is created private to the user; an existing level is left as it is.
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return LastError();
  }
  return {};
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void PutWord(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetWord(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

std::string RoleNoticeFolder(const std::string& roleName) {
  return RuntimeFolder() + "/zent-notice/" + EncodeName(roleName);
}

RoleNoticeReceiver::~RoleNoticeReceiver() { Close(); }

std::error_code RoleNoticeReceiver::Open(const std::string& folder) {
  Close();
  if (auto ec = MakeFolder(folder)) return ec;
  const std::string path = folder + "/" + std::to_string(::getpid()) + ".sock";
  sockaddr_un addr;
  if (!MakeAddress(path, addr)) return std::make_error_code(std::errc::filename_too_long);
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return LastError();
  // A file left by an earlier process with our pid is stale: that process is gone.
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    auto ec = LastError();
    ::close(fd);
    return ec;
  }
  fd_ = fd;
  path_ = path;
  return {};
}

void RoleNoticeReceiver::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  fd_ = -1;
  path_.clear();
}

std::optional<RoleNotice> RoleNoticeReceiver::Read() {
  if (fd_ < 0) return std::nullopt;
  for (;;) {
    std::array<uint8_t, 64> buf;
    const ssize_t n = ::recv(fd_, buf.data(), buf.size(), MSG_TRUNC);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;  // nothing waits (EAGAIN) or the socket failed
    }
    // Anyone of this user can write here: take only datagrams of exactly our shape.
    if (static_cast<size_t>(n) != kNoticeSize) continue;
    return RoleNotice{GetWord(buf.data()), GetWord(buf.data() + 4), GetWord(buf.data() + 8)};
  }
}

int BroadcastRoleNotice(const std::string& folder, const RoleNotice& notice) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return 0;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  std::array<uint8_t, kNoticeSize> data;
  PutWord(data.data(), notice.message);
  PutWord(data.data() + 4, notice.wParam);
  PutWord(data.data() + 8, notice.lParam);
  const std::string own = std::to_string(::getpid()) + ".sock";
  int delivered = 0;
  while (dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == own || name.size() <= 5 || name.compare(name.size() - 5, 5, ".sock") != 0) continue;
    const std::string path = folder + "/" + name;
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) continue;
    const ssize_t sent = ::sendto(fd, data.data(), data.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (sent == static_cast<ssize_t>(data.size())) {
      ++delivered;
    } else if (errno == ECONNREFUSED) {
      ::unlink(path.c_str());  // nobody is bound there any more: the process is gone
    }
    // A full queue (EAGAIN) means a hung receiver; the notice is dropped, never awaited.
  }
  ::close(fd);
  return delivered;
}

}  // namespace zent::platform
