// Windows: system errors through FormatMessageW (UTF-16, converted to UTF-8); the library's
// message for them comes in the ANSI code page. Other categories (the portable errc values)
// have the library's own ASCII texts.
#include "platform/ErrorText.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace zent::platform {

std::string ErrorText(const std::error_code& ec) {
  if (ec.category() != std::system_category()) return ec.message();
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(ec.value()), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
  if (n == 0 || text == nullptr) return "error " + std::to_string(ec.value());
  std::wstring wide(text, n);
  ::LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' || wide.back() == L'.'))
    wide.pop_back();
  return win32::Narrow(wide);
}

}  // namespace zent::platform
