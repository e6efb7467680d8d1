// POSIX: a named lock is a lock file held with flock(2). The kernel drops the lock when
// the last descriptor of the open file goes, so a crashed holder never leaves a stale
// name behind. Lock files are never deleted: unlinking a lock file races with a process
// that has just opened it and would let two holders lock two different files.
#include "platform/NamedLock.h"
#include "platform/posix/RuntimeFiles.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace zent::platform {
namespace {

constexpr const char* kGlobalFolder = "/tmp/zent-global";
// The installed package's folder for machine-wide names: only root and the group lumo7 may
// enter it, so no other local user can hold a name the program waits for.
constexpr const char* kPackagedGlobalFolder = "/run/lumo7browser/locks";

// The package's folder when it is there and closed to others; else the world-writable one.
// A folder others may write is ignored: it would hand the names to any local user again.
const char* GlobalFolder() {
  struct stat st{};
  if (::lstat(kPackagedGlobalFolder, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == 0 &&
      (st.st_mode & S_IWOTH) == 0) {
    return kPackagedGlobalFolder;
  }
  return kGlobalFolder;
}

std::string SessionFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
    return std::string(run) + "/zent-locks";
  }
  return "/tmp/zent-" + std::to_string(::getuid());
}

// Creates the folder when missing. A folder in /tmp could have been planted by another
// user, so what is there must be a real folder, and a session folder must be ours.
// The package's folder is never created here: the package makes it with its group.
std::error_code EnsureFolder(const std::string& folder, bool global) {
  if (folder == kPackagedGlobalFolder) return {};
  const mode_t mode = global ? 01777 : 0700;
  if (::mkdir(folder.c_str(), mode) == 0) {
    // mkdir applies the umask; the machine-wide folder must be open to every user.
    if (global && ::chmod(folder.c_str(), mode) != 0) return LastError();
  } else if (errno != EEXIST) {
    return LastError();
  }
  struct stat st{};
  if (::lstat(folder.c_str(), &st) != 0) return LastError();
  if (!S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  if (!global && st.st_uid != ::geteuid()) return std::make_error_code(std::errc::permission_denied);
  return {};
}

// Opens (creating when missing) the lock file. An existing file is opened without
// O_CREAT: in a sticky world-writable folder the kernel may refuse O_CREAT on another
// user's file (protected_regular).
int OpenLockFile(const std::string& path, bool global, std::error_code& ec) {
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = ::open(path.c_str(), kFlags);
    if (fd >= 0) return fd;
    if (errno != ENOENT) break;
    fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, global ? 0666 : 0600);
    if (fd >= 0) {
      // Every user must be able to open a machine-wide lock file, whatever our umask.
      if (global) ::fchmod(fd, 0666);
      return fd;
    }
    if (errno != EEXIST) break;  // EEXIST: another process created it just now
  }
  ec = LastError();
  return -1;
}

int FlockRetrying(int fd, int op) {
  int rc;
  do {
    rc = ::flock(fd, op);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

NamedLock::NamedLock(std::string name) : name_(std::move(name)), path_(PathFor(name_)) {}

NamedLock::~NamedLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string NamedLock::PathFor(const std::string& name) {
  const std::string folder = IsGlobalLockName(name) ? GlobalFolder() : SessionFolder();
  return folder + "/" + EncodeFileName(BareLockName(name)) + ".lock";
}

std::error_code NamedLock::Open() {
  if (fd_ >= 0) return {};
  const bool global = IsGlobalLockName(name_);
  if (auto ec = EnsureFolder(path_.substr(0, path_.rfind('/')), global)) return ec;
  std::error_code ec;
  fd_ = OpenLockFile(path_, global, ec);
  return ec;
}

std::error_code NamedLock::Hold() {
  if (locked_) return std::make_error_code(std::errc::invalid_argument);
  if (held_) return {};
  if (auto ec = Open()) return ec;
  // Blocking: an Exists() probe elsewhere takes the lock exclusively for an instant.
  if (FlockRetrying(fd_, LOCK_SH) != 0) return LastError();
  held_ = true;
  return {};
}

std::error_code NamedLock::Lock(uint32_t timeoutMs) {
  // Turning a shared lock into an exclusive one is not atomic with flock, and a failed
  // attempt would drop the hold; an object is used for one of the two purposes only.
  if (held_) return std::make_error_code(std::errc::invalid_argument);
  if (locked_) return {};
  if (auto ec = Open()) return ec;
  if (timeoutMs == kInfinite) {
    if (FlockRetrying(fd_, LOCK_EX) != 0) return LastError();
    locked_ = true;
    return {};
  }
  // flock has no timed wait: a finite time-out is a series of non-blocking attempts in
  // short slices. Fairness is not guaranteed, which named locks here never rely on.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (FlockRetrying(fd_, LOCK_EX | LOCK_NB) == 0) {
      locked_ = true;
      return {};
    }
    if (errno != EWOULDBLOCK) return LastError();
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return std::make_error_code(std::errc::timed_out);
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        deadline - now, std::chrono::milliseconds(5)));
  }
}

void NamedLock::Unlock() {
  if (!locked_ || fd_ < 0) return;
  locked_ = false;
  ::close(fd_);
  fd_ = -1;
}

bool NamedLock::Exists(const std::string& name) {
  const int fd = ::open(PathFor(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // never created, so never held
  const bool free = FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0;
  // Closing the probe descriptor drops the probe lock at once.
  ::close(fd);
  return !free;
}

}  // namespace zent::platform
