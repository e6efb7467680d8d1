// POSIX: the executable is /proc/self/exe; the roaming data folder is the XDG
// configuration folder.
#include "platform/Paths.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zent::platform {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::optional<std::string> RoamingAppDataFolder() {
  std::string folder;
  // A relative XDG_CONFIG_HOME is invalid by the XDG rules and ignored, as the registry does.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    folder = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::string(home) + "/.config";
  } else {
    return std::nullopt;
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

bool IsWritableFolder(const std::string& folder) {
  // The effective user is the one that would write: a set-user-id start must not count.
  return !folder.empty() && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::error_code SetCurrentFolder(const std::string& folder) {
  if (::chdir(folder.c_str()) != 0) return {errno, std::system_category()};
  return {};
}

}  // namespace zent::platform
