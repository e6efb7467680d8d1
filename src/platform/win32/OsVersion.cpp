// Windows: RtlGetVersion, which (unlike GetVersionEx) reports the real version whatever the
// program's manifest says.
#include "platform/OsVersion.h"

#include <windows.h>

namespace zent::platform {

std::string OsMajorMinorVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return "0.0";
  const auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!get || get(&info) != 0) return "0.0";
  return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
}

}  // namespace zent::platform
