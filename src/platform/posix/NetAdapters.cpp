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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> ParseMacText(const std::string& text) {
  std::vector<uint8_t> bytes;
  size_t i = 0;
  while (i < text.size()) {
    if (i + 2 > text.size()) return {};
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return {};
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    i += 2;
    if (i == text.size()) break;
    if (text[i] != ':') return {};
    ++i;
    if (i == text.size()) return {};  // a trailing separator is not an address
  }
  return bytes;
}

std::string MacText(const std::vector<uint8_t>& mac) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : mac) {
    if (!text.empty()) text += '-';
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

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
