// A file descriptor closed on every way out of its scope, and writing a whole buffer to one
// (POSIX implementation files only).
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

namespace zent::platform {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  // Hands the descriptor over; this object no longer closes it.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Writes all of `bytes`, going on after interruptions and short writes; a write that takes
// nothing is a full device.
inline std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return {errno, std::system_category()};
    }
    if (n == 0) return std::make_error_code(std::errc::no_space_on_device);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

}  // namespace zent::platform
