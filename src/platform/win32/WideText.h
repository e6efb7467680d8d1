// UTF-8 (our strings) <-> UTF-16 (the Windows API's "W" functions) for the win32 layer only.
// Invalid UTF-8 becomes U+FFFD and unpaired surrogates become U+FFFD, so a conversion never
// fails and never drops the rest of a string.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zent::platform::win32 {

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

inline std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  return utf8;
}

// A NUL-terminated wide string of a known length (API outputs with a trailing NUL or not).
inline std::string Narrow(const wchar_t* wide) { return wide ? Narrow(std::wstring_view(wide)) : ""; }

}  // namespace zent::platform::win32
