// POSIX/Linux: interface names from getifaddrs (kernel order), hardware details from sysfs.
#include "platform/NetAdapters.h"
#include "platform/FsPath.h"

#include <ifaddrs.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

namespace zent::platform {
namespace {

bool PathExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(FsPath(path));
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

}  // namespace

std::error_code ListNetAdapters(bool physicalOnly, std::vector<NetAdapter>& out,
                                const std::string& sysClassNet) {
  out.clear();
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return {errno, std::system_category()};
  std::vector<std::string> names;
  for (ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_name) continue;
    std::string name = it->ifa_name;
    // A name with a slash could leave the sysfs folder; the kernel never makes one.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") continue;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  ::freeifaddrs(list);

  for (auto& name : names) {
    const std::string dir = sysClassNet + "/" + name;
    NetAdapter adapter;
    adapter.name = name;
    adapter.physical = PathExists(dir + "/device");
    if (physicalOnly && !adapter.physical) continue;
    adapter.mac = ParseMacText(ReadFirstLine(dir + "/address"));
    out.push_back(std::move(adapter));
  }
  return {};
}

}  // namespace zent::platform
