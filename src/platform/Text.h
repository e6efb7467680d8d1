// Text conversions every layer needs and that call no operating system: UTF-8 / UTF-16 and
// ASCII case-insensitive comparison. Strings hold UTF-8; UTF-16 appears only where a rule
// counts UTF-16 code units (name hashes) or a file is UTF-16LE.
#pragma once

#include <string>
#include <string_view>

namespace zent::platform {

// Invalid UTF-8 sequences become U+FFFD, one per byte that starts no well-formed sequence.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// ASCII-only case folding, the way names and keys are compared.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zent::platform
