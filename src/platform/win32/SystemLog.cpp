// Windows: the Application event log through ReportEventW under the ident as the event source
// (registered once). No message file is installed, so the Event Viewer shows the line as the
// event's inserted text.
#include "platform/SystemLog.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "platform/win32/WideText.h"

namespace zent::platform {

void WriteSystemLog(std::string_view ident, std::string_view line) noexcept {
  try {
    static const std::wstring kept = win32::Wide(ident);
    static HANDLE source = nullptr;
    static std::once_flag opened;
    std::call_once(opened, [] { source = ::RegisterEventSourceW(nullptr, kept.c_str()); });
    if (!source) return;
    const std::wstring text = win32::Wide(line);
    const wchar_t* strings[] = {text.c_str()};
    ::ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
  } catch (...) {
  }
}

}  // namespace zent::platform
