// Windows: Wine's ntdll exports wine_get_version; Windows' own never does.
#include "platform/Emulation.h"

#include <windows.h>

namespace zent::platform {

bool RunningUnderWine() noexcept {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace zent::platform
