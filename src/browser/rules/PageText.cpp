#include "browser/rules/PageText.h"

#include "platform/Text.h"

namespace zent {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";     // U+2026

bool IsLineBreakOrTab(char32_t cp) {
  return cp == '\n' || cp == '\r' || cp == '\t' || cp == 0x0B || cp == 0x0C || cp == 0x85 || cp == 0x2028 ||
         cp == 0x2029;
}

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F); }

}  // namespace

std::string PageTextForDisplay(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size(), kMaxPageTextChars * 4));
  size_t kept = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    if (kept == kMaxPageTextChars) {
      // One more character follows: the last one kept gives way to the ellipsis.
      size_t last = out.size();
      while (last > 0 && (static_cast<unsigned char>(out[last - 1]) & 0xC0) == 0x80) --last;
      out.resize(last > 0 ? last - 1 : 0);
      out += kEllipsis;
      return out;
    }
    const size_t start = pos;
    const char32_t cp = platform::NextCodePoint(text, pos);
    if (cp == platform::kInvalidUtf8) {
      out += kReplacement;
    } else if (IsLineBreakOrTab(cp)) {
      out += ' ';
    } else if (IsControl(cp)) {
      continue;
    } else {
      out.append(text.substr(start, pos - start));
    }
    ++kept;
  }
  return out;
}

}  // namespace zent
