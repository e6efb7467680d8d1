// The machine's network adapters, in the order the kernel lists its interfaces.
// A physical adapter is one backed by a device (not loopback, bridges, tunnels or veths
// made by software). Contract: nothing throws; a failed listing comes back as an error.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace zent::platform {

struct NetAdapter {
  std::string name;              // interface name; also the adapter's name and class id
  std::vector<uint8_t> mac;      // hardware address bytes; empty when the interface has none
  bool physical = false;
};

// Interfaces in getifaddrs order, each once. With physicalOnly, only physical adapters.
// `sysClassNet` is where the kernel describes interfaces (a test may point it elsewhere);
// Windows has no such folder and ignores it (names there are the adapters' GUID texts).
std::error_code ListNetAdapters(bool physicalOnly, std::vector<NetAdapter>& out,
                                const std::string& sysClassNet = "/sys/class/net");

// Two-digit upper-case hexadecimal bytes joined by "-" ("00-1A-2B-3C-4D-5E").
std::string MacText(const std::vector<uint8_t>& mac);

// Parses the kernel's "aa:bb:cc:dd:ee:ff" text; empty for anything else.
std::vector<uint8_t> ParseMacText(const std::string& text);

}  // namespace zent::platform
