// POSIX: an O_TMPFILE file in the destination folder, which has no name at all until
// linkat(2) gives it one, so even SIGKILL leaves nothing behind. Where the file system offers
// no O_TMPFILE, a hidden ".partial-XXXXXX" file held under flock(2): its lock dies with the
// writer, which is how a later clean-up tells a leftover from a download still running.
// Commit links (or keeps) the hidden name and renames it over the final name, atomically.
#include "platform/PartialFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/UniqueFd.h"

namespace zent::platform {
namespace {

constexpr char kHiddenPrefix[] = ".partial-";

std::error_code LastError() { return {errno, std::system_category()}; }

// A new hidden name in `folder`, created (or linked) by `make`, retried on a name clash.
template <typename Make>
std::error_code MakeHiddenName(const std::string& folder, std::string& name, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder + "/" + kHiddenPrefix + "XXXXXX";
    // mkstemp picks a free random name; we only want the name when linking.
    const int probe = ::mkstemp(candidate.data());
    if (probe < 0) return LastError();
    ::close(probe);
    ::unlink(candidate.c_str());
    if (make(candidate)) {
      name = candidate;
      return {};
    }
    if (errno != EEXIST) return LastError();
  }
  return std::make_error_code(std::errc::file_exists);
}

}  // namespace

PartialFile::~PartialFile() { Discard(); }

std::error_code PartialFile::Create(const std::string& folder, unsigned mode) {
  Discard();
  folder_ = folder.empty() ? "." : folder;
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd_ >= 0) return {};
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return LastError();
  // No unnamed files here: a hidden name, locked for as long as we write.
  std::string name = folder_ + "/" + kHiddenPrefix + "XXXXXX";
  UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
  if (fd.get() < 0) return LastError();
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd.get(), mode & 0777) != 0) {
    const auto ec = LastError();
    ::unlink(name.c_str());
    return ec;
  }
  hiddenName_ = name;
  fd_ = fd.release();
  return {};
}

std::error_code PartialFile::Write(const char* data, size_t size) {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  if (auto ec = WriteAll(fd_, std::string_view(data, size))) return ec;
  size_ += size;
  return {};
}

std::string PartialFile::ReadablePath() const {
  if (fd_ < 0) return {};
  if (!hiddenName_.empty()) return hiddenName_;
  // The unnamed file is reachable only through our descriptor.
  return "/proc/self/fd/" + std::to_string(fd_);
}

std::error_code PartialFile::Commit(const std::string& path) {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  std::error_code ec;
  if (::fsync(fd_) != 0) ec = LastError();
  if (!ec && hiddenName_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    ec = MakeHiddenName(folder_, hiddenName_, [&](const std::string& name) {
      return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
  }
  if (!ec && ::rename(hiddenName_.c_str(), path.c_str()) != 0) ec = LastError();
  if (!ec) {
    hiddenName_.clear();  // it has its final name now
    UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());  // the new name on disk too; best effort
  }
  Discard();
  return ec;
}

void PartialFile::Discard() noexcept {
  if (!hiddenName_.empty()) ::unlink(hiddenName_.c_str());
  hiddenName_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool IsPartialFileName(const std::string& name) { return name.rfind(kHiddenPrefix, 0) == 0; }

int RemoveStalePartialFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (IsPartialFileName(e->d_name)) names.emplace_back(e->d_name);
    }
    ::closedir(dir);
  }
  int removed = 0;
  for (const auto& name : names) {
    const std::string path = folder + "/" + name;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    // A lock we can take means its writer is gone.
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0)
      ++removed;
  }
  return removed;
}

}  // namespace zent::platform
