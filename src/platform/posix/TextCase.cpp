#include "platform/TextCase.h"

#include <locale.h>
#include <wctype.h>

#include "platform/Text.h"

namespace zent::platform {
namespace {

// Created once and kept for the process: a locale object is immutable and safe to share.
locale_t CaseLocale() {
  static const locale_t loc = [] {
    locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l ? l : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return loc;
}

}  // namespace

std::string UpperCaseText(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::u32string points;
  points.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    points += c;
  }
  const locale_t loc = CaseLocale();
  std::u16string out;
  out.reserve(units.size());
  for (char32_t c : points) {
    const char32_t u = loc ? static_cast<char32_t>(::towupper_l(static_cast<wint_t>(c), loc)) : c;
    if (u >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(u);
    }
  }
  return Utf16ToUtf8(out);
}

}  // namespace zent::platform
