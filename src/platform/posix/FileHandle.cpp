// POSIX: a descriptor opened O_APPEND | O_CLOEXEC; a record is one write(2).
#include "platform/FileHandle.h"
#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zent::platform {
namespace {
std::error_code LastError() { return {errno, std::system_category()}; }
}  // namespace

FileHandle::~FileHandle() { Close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::error_code FileHandle::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: a FIFO planted under the name must fail, not block the writer.
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK;
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  // Anything but a regular file (a device, a socket) is refused.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::error_code ec = S_ISDIR(st.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                                   : std::make_error_code(std::errc::invalid_argument);
    ::close(fd);
    return ec;
  }
  handle_ = fd;
  path_ = path;
  return {};
}

void FileHandle::Close() noexcept {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
  path_.clear();
}

std::error_code FileHandle::Size(uint64_t& size) const {
  struct stat st {};
  if (handle_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  if (::fstat(handle_, &st) != 0) return LastError();
  size = static_cast<uint64_t>(st.st_size);
  return {};
}

std::error_code FileHandle::Write(std::string_view data) const {
  if (handle_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  return WriteAll(handle_, data);
}

std::error_code FileHandle::Flush() {
  if (handle_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  return ::fsync(handle_) == 0 ? std::error_code{} : LastError();
}

}  // namespace zent::platform
