// POSIX/Linux: addresses from getifaddrs; interfaces and their devices from sysfs.
#include "platform/NetAddresses.h"

#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <cerrno>

namespace zent::platform {

std::error_code ListIPv4Addresses(std::vector<InterfaceAddress>& out) {
  out.clear();
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return {errno, std::system_category()};
  for (ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_name || !it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
    InterfaceAddress a;
    a.interfaceName = it->ifa_name;
    a.address = reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr;
    if (it->ifa_netmask && it->ifa_netmask->sa_family == AF_INET) {
      a.mask = reinterpret_cast<const sockaddr_in*>(it->ifa_netmask)->sin_addr.s_addr;
    }
    out.push_back(std::move(a));
  }
  ::freeifaddrs(list);
  return {};
}

bool IsNetInterface(const std::string& name, bool physicalOnly, const std::string& sysClassNet) {
  // A name that could leave the sysfs folder is no interface name.
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return false;
  struct stat st{};
  const std::string dir = sysClassNet + "/" + name;
  return ::stat((physicalOnly ? dir + "/device" : dir).c_str(), &st) == 0;
}

}  // namespace zent::platform
