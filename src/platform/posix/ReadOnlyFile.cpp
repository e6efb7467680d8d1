// POSIX: open(2) with O_NONBLOCK (and O_NOFOLLOW on request), fstat(2) on the descriptor,
// pread(2). The private copy is an mkostemp(3) file (O_EXCL, random name, mode 0600 made
// 0700) written with write(2) and put on disk with fsync(2).
#include "platform/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/UniqueFd.h"

namespace zent::platform {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }


}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

void ReadOnlyFile::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

std::error_code ReadOnlyFile::Open(const std::string& path, bool followLink) {
  Close();
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  if (!followLink) flags |= O_NOFOLLOW;
  int raw;
  do {
    raw = ::open(path.c_str(), flags);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return LastError();
  UniqueFd fd(raw);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return LastError();
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::invalid_argument);
  size_ = static_cast<uint64_t>(st.st_size);
  fd_ = fd.release();
  return {};
}

std::error_code ReadOnlyFile::ReadAt(uint64_t offset, void* data, size_t size, size_t& got) const {
  got = 0;
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  auto* out = static_cast<char*>(data);
  while (got < size) {
    const ssize_t n = ::pread(fd_, out + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return {};
}

std::error_code ReadOnlyFile::CopyToPrivateFile(const std::string& folder, uint64_t maxSize,
                                                std::string& copyPath) const {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  std::string name = folder;
  if (name.empty() || name.back() != '/') name += '/';
  name += "copy-XXXXXX";
  UniqueFd out(::mkostemp(name.data(), O_CLOEXEC));
  if (out.get() < 0) return LastError();
  auto fail = [&](std::error_code ec) {
    ::unlink(name.c_str());
    return ec;
  };
  if (::fchmod(out.get(), 0700) != 0) return fail(LastError());
  std::vector<char> buf(1 << 20);
  uint64_t total = 0;
  for (;;) {
    size_t got = 0;
    if (auto ec = ReadAt(total, buf.data(), buf.size(), got)) return fail(ec);
    if (got == 0) break;
    total += got;
    if (total > maxSize) return fail(std::make_error_code(std::errc::file_too_large));
    if (auto ec = WriteAll(out.get(), std::string_view(buf.data(), got))) return fail(ec);
  }
  if (::fsync(out.get()) != 0) return fail(LastError());
  copyPath = name;
  return {};
}

}  // namespace zent::platform
