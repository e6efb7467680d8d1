// Windows: adapters from GetAdaptersAddresses. An adapter's name is its GUID text
// ("{…}"), which is also its class id under the network adapters' registry keys; physical
// means an Ethernet or wireless hardware interface. There is no sysfs: the folder argument
// is not used.
#include "platform/win32/AdapterList.h"

#include "platform/NetAdapters.h"

namespace zent::platform {

std::error_code ListNetAdapters(bool physicalOnly, std::vector<NetAdapter>& out,
                                const std::string& /*sysClassNet*/) {
  out.clear();
  std::vector<unsigned char> buffer;
  const IP_ADAPTER_ADDRESSES* first = nullptr;
  if (auto ec = win32::ReadAdapters(buffer, first)) return ec;
  for (const auto* a = first; a; a = a->Next) {
    if (!a->AdapterName || !*a->AdapterName) continue;
    NetAdapter adapter;
    adapter.name = a->AdapterName;
    adapter.physical = win32::IsPhysical(*a);
    if (physicalOnly && !adapter.physical) continue;
    adapter.mac.assign(a->PhysicalAddress, a->PhysicalAddress + a->PhysicalAddressLength);
    out.push_back(std::move(adapter));
  }
  return {};
}

}  // namespace zent::platform
