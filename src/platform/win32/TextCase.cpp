// Windows: LCMapStringEx with the invariant locale, the same mapping on every machine whatever
// its language, so a language file built on one terminal matches its keys on another.
#include "platform/TextCase.h"

#include <windows.h>

#include "platform/Text.h"

namespace zent::platform {

std::string UpperCaseText(std::string_view utf8) {
  // Invalid bytes become U+FFFD here, before the system sees the text.
  std::u16string units = Utf8ToUtf16(utf8);
  if (units.empty()) return {};
  std::wstring wide(units.begin(), units.end());
  const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
  if (n > 0) {
    std::wstring upper(static_cast<size_t>(n), L'\0');
    if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(),
                        static_cast<int>(wide.size()), upper.data(), n, nullptr, nullptr, 0) == n) {
      units.assign(upper.begin(), upper.end());
    }
  }
  return Utf16ToUtf8(units);
}

}  // namespace zent::platform
