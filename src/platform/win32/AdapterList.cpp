// Windows: GetAdaptersAddresses, asked again while the list grows between the size query
// and the read; GetIfEntry2 for whether an adapter is hardware.
#include "platform/win32/AdapterList.h"

#include <netioapi.h>

namespace zent::platform::win32 {

std::error_code ReadAdapters(std::vector<unsigned char>& buffer, const IP_ADAPTER_ADDRESSES*& first) {
  first = nullptr;
  constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                           GAA_FLAG_SKIP_FRIENDLY_NAME;
  ULONG size = 16 * 1024;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size, 0);
    rc = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (rc == ERROR_NO_DATA) return {};
  if (rc != NO_ERROR) return {static_cast<int>(rc), std::system_category()};
  first = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
  return {};
}

bool IsPhysical(const IP_ADAPTER_ADDRESSES& adapter) {
  if (adapter.IfType != IF_TYPE_ETHERNET_CSMACD && adapter.IfType != IF_TYPE_IEEE80211) return false;
  MIB_IF_ROW2 row{};
  row.InterfaceLuid = adapter.Luid;
  if (::GetIfEntry2(&row) != NO_ERROR) return false;
  return row.InterfaceAndOperStatusFlags.HardwareInterface && !row.InterfaceAndOperStatusFlags.FilterInterface;
}

}  // namespace zent::platform::win32
