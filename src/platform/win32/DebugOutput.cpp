// Windows: OutputDebugStringW, which a debugger (or DebugView) shows line by line.
#include "platform/DebugOutput.h"

#include "platform/win32/WideText.h"

// <windows.h> names its own OutputDebugStringW so; ours is the one declared in DebugOutput.h.
#undef OutputDebugString

namespace zent::platform {

void OutputDebugString(std::string_view text) noexcept {
  try {
    std::wstring line = win32::Wide(text);
    line += L'\n';
    ::OutputDebugStringW(line.c_str());
  } catch (...) {
    // Out of memory while tracing: drop the trace.
  }
}

}  // namespace zent::platform
