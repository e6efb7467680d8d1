// POSIX: lstat(2).
#include "platform/FileStatus.h"

#include <sys/stat.h>

#include <cerrno>

namespace zent::platform {

std::error_code GetPathStatus(const std::string& path, PathStatus& status) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {errno, std::system_category()};
  status.regularFile = S_ISREG(st.st_mode);
  status.folder = S_ISDIR(st.st_mode);
  status.link = S_ISLNK(st.st_mode);
  status.owner = st.st_uid;
  status.mode = st.st_mode & 07777;
  status.size = static_cast<uint64_t>(st.st_size);
  return {};
}

}  // namespace zent::platform
