// UTF-8 / UTF-16 conversion. Strings hold UTF-8; UTF-16 appears only where a rule counts
// UTF-16 code units (name hashes) or a file is UTF-16LE.
#pragma once

#include <string>
#include <string_view>

namespace zent {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// ASCII-only case folding, the way names and keys are compared.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Blanks and control characters (<= ' ') removed at both ends.
std::string_view Trim(std::string_view s);

}  // namespace zent
