// Windows: the adapter listing that NetAdapters and NetAddresses both read (win32
// implementation files only).
#pragma once

#include "platform/win32/Winsock.h"  // winsock2.h must come before windows.h

#include <ws2tcpip.h>  // before iphlpapi.h, which then declares the interface rows
#include <iphlpapi.h>

#include <system_error>
#include <vector>

namespace zent::platform::win32 {

// Every adapter the system has, up or down, in the system's order, with its IPv4 unicast
// addresses. The entries live in `buffer`; `first` is null when there are none.
std::error_code ReadAdapters(std::vector<unsigned char>& buffer, const IP_ADAPTER_ADDRESSES*& first);

// Backed by a device: an Ethernet or wireless adapter the system calls a hardware interface
// (which leaves out loopback, tunnels, and the virtual switches and VPN adapters that
// present themselves as Ethernet).
bool IsPhysical(const IP_ADAPTER_ADDRESSES& adapter);

}  // namespace zent::platform::win32
