// Reading UTF-8 one code point at a time, for the rules that look at page texts character by
// character. Strict: overlong forms, surrogates (as UTF-8) and values beyond U+10FFFF are
// invalid, so a text that passes holds nothing the toolkit would have to repair.
#pragma once

#include <cstddef>
#include <string_view>

namespace zent {

inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// The code point starting at `pos`, and `pos` moved past it; kInvalidUtf8 with `pos` moved
// by one byte when no well-formed sequence starts there. `pos` must be inside `text`.
inline char32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    ++pos;
    return kInvalidUtf8;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kInvalidUtf8;
  }
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kInvalidUtf8;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kInvalidUtf8;
  }
  pos += length;
  return cp;
}

}  // namespace zent
