// Text conversions every layer needs and that call no operating system: UTF-8 / UTF-16 and
// ASCII case-insensitive comparison. Strings hold UTF-8; UTF-16 appears only where a rule
// counts UTF-16 code units (name hashes) or a file is UTF-16LE.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zent::platform {

inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// The code point starting at `pos`, and `pos` moved past it; kInvalidUtf8 with `pos` moved
// by one byte when no well-formed sequence starts there. Strict: overlong forms, surrogates
// and values beyond U+10FFFF are invalid. `pos` must be inside `text`.
char32_t NextCodePoint(std::string_view text, size_t& pos);

// Invalid UTF-8 sequences become U+FFFD, one per byte that starts no well-formed sequence.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// UTF-16LE bytes (as files and registry values hold them) to UTF-8; unpaired surrogates and
// an odd last byte become U+FFFD. Stops at a NUL unit when `stopAtNul` (registry strings end there).
std::string Utf16leToUtf8(std::string_view bytes, bool stopAtNul = false);
// UTF-8 to UTF-16LE bytes, no byte-order mark; a byte that starts no well-formed sequence is U+FFFD.
std::string Utf8ToUtf16le(std::string_view utf8);

// ASCII-only case folding, the way names and keys are compared.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zent::platform
