// The byte rules both systems' code page conversions share, so damaged text is replaced the
// same way everywhere: where a UTF-8 sequence ends and which bytes GBK uses for its pairs.
// Contract: pure functions, no system call.
#pragma once

#include <cstddef>

namespace zent::platform::gbk {

// Length of the well-formed UTF-8 sequence at s, or 0 when it is not well formed.
// `maximal` receives the length of the maximal ill-formed subpart (at least 1), so a
// broken sequence becomes one replacement, as Unicode recommends.
inline size_t Utf8SequenceLength(const unsigned char* s, size_t n, size_t& maximal) {
  maximal = 1;
  const unsigned char b0 = s[0];
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  for (size_t i = 1; i <= need; ++i) {
    if (i >= n) return 0;
    const unsigned char b = s[i];
    const unsigned char l = (i == 1) ? lo : 0x80;
    const unsigned char h = (i == 1) ? hi : 0xBF;
    if (b < l || b > h) return 0;
    maximal = i + 1;
  }
  return need + 1;
}

inline bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
inline bool IsGbkTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

}  // namespace zent::platform::gbk
