// POSIX: reads with O_NONBLOCK so a hostile FIFO in place of a file cannot hang the reader;
// replacement through an O_EXCL temporary file, fsync and rename(2), which is atomic within
// one file system; folder locks with flock(2) on the folder itself, which leaves no lock
// file behind and dies with the process.
#include "platform/AtomicFile.h"
#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace zent::platform {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write should replace: the target of a symbolic link, else the path itself.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

std::error_code ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return LastError();
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return LastError();
  if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::invalid_argument);
  if (static_cast<unsigned long long>(st.st_size) > maxBytes)
    return std::make_error_code(std::errc::file_too_large);
  bytes.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const auto ec = LastError();
      bytes.clear();
      return ec;
    }
    if (n == 0) break;
    // The file may grow while we read it; the limit holds for what we keep.
    if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
      bytes.clear();
      return std::make_error_code(std::errc::file_too_large);
    }
    bytes.append(buf, static_cast<size_t>(n));
  }
  return {};
}

std::error_code WriteNewFile(const std::string& path, std::string_view bytes, unsigned permissions) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
  if (fd < 0) return {errno, std::system_category()};
  // The umask may have taken bits away; the caller said exactly which it wants.
  std::error_code ec;
  if (::fchmod(fd, permissions) != 0) ec = LastError();
  if (!ec) ec = WriteAll(fd, bytes);
  if (!ec && ::fsync(fd) != 0) ec = LastError();
  ::close(fd);
  if (ec) ::unlink(path.c_str());
  return ec;
}

std::error_code ReplaceFile(const std::string& path, std::string_view bytes,
                            unsigned newFilePermissions) {
  static std::atomic<unsigned> counter{0};
  const std::string target = ResolveTarget(path);

  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);

  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    temp = target + ".~" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    // The umask still applies to a new file's permissions, as for any newly created file.
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                 static_cast<mode_t>(newFilePermissions & 07777));
    if (raw < 0 && errno != EEXIST) return LastError();
  }
  if (raw < 0) return std::make_error_code(std::errc::file_exists);
  UniqueFd fd(raw);

  auto fail = [&](std::error_code ec) {
    ::close(fd.release());
    ::unlink(temp.c_str());
    return ec;
  };
  if (existed && ::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(LastError());
  if (auto ec = WriteAll(fd.get(), bytes)) return fail(ec);
  if (::fsync(fd.get()) != 0) return fail(LastError());
  if (::close(fd.release()) != 0) {
    const auto ec = LastError();
    ::unlink(temp.c_str());
    return ec;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const auto ec = LastError();
    ::unlink(temp.c_str());
    return ec;
  }
  // Make the rename itself durable. The new content is already in place; a folder that
  // cannot be synced (some file systems refuse) does not undo the write.
  UniqueFd folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return {};
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the flock
}

std::error_code FolderLock::Acquire(const std::string& folder) {
  if (fd_ >= 0) return {};
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return LastError();
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return LastError();
  }
  fd_ = fd.release();
  return {};
}

}  // namespace zent::platform
