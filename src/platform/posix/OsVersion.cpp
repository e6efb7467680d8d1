// POSIX: uname(2); the release starts with "major.minor".
#include "platform/OsVersion.h"

#include <sys/utsname.h>

#include <cstdio>

namespace zent::platform {

std::string OsMajorMinorVersion() {
  struct utsname u {};
  int major = 0, minor = 0;
  if (::uname(&u) != 0 || std::sscanf(u.release, "%d.%d", &major, &minor) != 2) return "0.0";
  return std::to_string(major) + "." + std::to_string(minor);
}

}  // namespace zent::platform
