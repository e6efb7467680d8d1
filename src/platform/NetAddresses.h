// The IPv4 addresses of the machine's network interfaces, in the order the kernel lists
// them, and whether a name is a network interface at all. Complements NetAdapters.h, which
// lists the adapters themselves. Contract: nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace zent::platform {

struct InterfaceAddress {
  std::string interfaceName;
  uint32_t address = 0;  // network byte order
  uint32_t mask = 0;     // network byte order; 0 when the system gives none
};

// Every IPv4 address of every interface, in getifaddrs order.
std::error_code ListIPv4Addresses(std::vector<InterfaceAddress>& out);

// True when the system has an interface of this name; with physicalOnly, a physical one
// (backed by a device). `sysClassNet` is where the kernel describes interfaces (ignored on
// Windows).
bool IsNetInterface(const std::string& name, bool physicalOnly,
                    const std::string& sysClassNet = "/sys/class/net");

}  // namespace zent::platform
