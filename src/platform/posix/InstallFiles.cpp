// POSIX: fsync(2) on a read-only descriptor (works for folders too); group sharing with
// chown(2) to the folder's group and chmod(2). A group we may not give away is not an error:
// the files then keep our own group.
#include "platform/InstallFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/UniqueFd.h"

namespace zent::platform {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

}  // namespace

std::error_code FlushToDisk(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.get() < 0) return LastError();
  if (::fsync(fd.get()) != 0) return LastError();
  return {};
}

std::error_code ShareWithFolderGroup(const std::string& path, const std::string& folder) {
  struct stat dir {}, st {};
  if (::stat(folder.c_str(), &dir) != 0 || ::lstat(path.c_str(), &st) != 0) return LastError();
  if (!(dir.st_mode & S_IWGRP) || S_ISLNK(st.st_mode)) return {};
  if (st.st_gid != dir.st_gid && ::lchown(path.c_str(), static_cast<uid_t>(-1), dir.st_gid) != 0 &&
      errno != EPERM) {
    return LastError();
  }
  mode_t mode = (st.st_mode & 07777) | S_IRGRP | S_IWGRP;
  if (S_ISDIR(st.st_mode) || (st.st_mode & S_IXUSR)) mode |= S_IXGRP;
  if (::chmod(path.c_str(), mode) != 0) return LastError();
  return {};
}

}  // namespace zent::platform
