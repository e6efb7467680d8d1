// Windows: IPv4 unicast addresses from GetAdaptersAddresses, each with the mask its on-link
// prefix length gives; interface names are the adapters' GUID texts as in NetAdapters.
#include "platform/win32/AdapterList.h"

#include "platform/NetAddresses.h"

namespace zent::platform {

std::error_code ListIPv4Addresses(std::vector<InterfaceAddress>& out) {
  out.clear();
  std::vector<unsigned char> buffer;
  const IP_ADAPTER_ADDRESSES* first = nullptr;
  if (auto ec = win32::ReadAdapters(buffer, first)) return ec;
  for (const auto* a = first; a; a = a->Next) {
    if (!a->AdapterName) continue;
    for (const auto* u = a->FirstUnicastAddress; u; u = u->Next) {
      const sockaddr* sa = u->Address.lpSockaddr;
      if (!sa || sa->sa_family != AF_INET) continue;
      InterfaceAddress entry;
      entry.interfaceName = a->AdapterName;
      entry.address = reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr;
      const unsigned bits = u->OnLinkPrefixLength;
      const uint32_t hostMask = bits == 0 ? 0 : bits >= 32 ? 0xFFFFFFFFu : ~0u << (32 - bits);
      entry.mask = htonl(hostMask);
      out.push_back(std::move(entry));
    }
  }
  return {};
}

bool IsNetInterface(const std::string& name, bool physicalOnly, const std::string& /*sysClassNet*/) {
  if (name.empty()) return false;
  std::vector<unsigned char> buffer;
  const IP_ADAPTER_ADDRESSES* first = nullptr;
  if (win32::ReadAdapters(buffer, first)) return false;
  for (const auto* a = first; a; a = a->Next) {
    if (a->AdapterName && name == a->AdapterName) return !physicalOnly || win32::IsPhysical(*a);
  }
  return false;
}

}  // namespace zent::platform
