// POSIX: AF_UNIX datagram sockets named "<pid>.sock" in a per-role folder. A datagram is
// three little-endian 32-bit words: message, wParam, lParam.
#include "platform/RoleNotice.h"
#include "platform/posix/RuntimeFiles.h"

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

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

std::string RoleNoticeFolder(const std::string& roleName) {
  return UserRuntimeFolder() + "/zent-notice/" + EncodeFileName(roleName);
}

RoleNoticeReceiver::~RoleNoticeReceiver() { Close(); }

std::error_code RoleNoticeReceiver::Open(const std::string& roleName) {
  Close();
  const std::string folder = RoleNoticeFolder(roleName);
  if (auto ec = MakePrivateFolders(folder)) return ec;
  const std::string path = folder + "/" + std::to_string(::getpid()) + ".sock";
  sockaddr_un addr;
  if (!MakeUnixAddress(path, addr)) return std::make_error_code(std::errc::filename_too_long);
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return LastError();
  // A file left by an earlier process with our pid is stale: that process is gone.
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    auto ec = LastError();
    ::close(fd);
    return ec;
  }
  handle_ = fd;
  path_ = path;
  return {};
}

void RoleNoticeReceiver::Close() {
  if (handle_ >= 0) {
    ::close(handle_);
    ::unlink(path_.c_str());
  }
  handle_ = kNoHandle;
  path_.clear();
}

std::optional<RoleNotice> RoleNoticeReceiver::Read() {
  if (handle_ < 0) return std::nullopt;
  for (;;) {
    std::array<uint8_t, 64> buf;
    const ssize_t n = ::recv(handle_, buf.data(), buf.size(), MSG_TRUNC);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;  // nothing waits (EAGAIN) or the socket failed
    }
    // Anyone of this user can write here: take only datagrams of exactly our shape.
    if (static_cast<size_t>(n) != kNoticeSize) continue;
    return RoleNotice{GetLe32(buf.data()), GetLe32(buf.data() + 4), GetLe32(buf.data() + 8)};
  }
}

int BroadcastRoleNotice(const std::string& roleName, const RoleNotice& notice) {
  const std::string folder = RoleNoticeFolder(roleName);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return 0;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  std::array<uint8_t, kNoticeSize> data;
  PutLe32(data.data(), notice.message);
  PutLe32(data.data() + 4, notice.wParam);
  PutLe32(data.data() + 8, notice.lParam);
  const std::string own = std::to_string(::getpid()) + ".sock";
  int delivered = 0;
  while (dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == own || name.size() <= 5 || name.compare(name.size() - 5, 5, ".sock") != 0) continue;
    const std::string path = folder + "/" + name;
    sockaddr_un addr;
    if (!MakeUnixAddress(path, addr)) continue;
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
