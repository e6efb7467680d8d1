// UTF-8 / UTF-16 conversion. Strings hold UTF-8; UTF-16 appears only where a rule counts
// UTF-16 code units (name hashes) or a file is UTF-16LE.
#pragma once

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace zent {

// The conversions themselves live in the lowest layer so the registry hives share them.
using platform::EqualsNoCase;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;
using platform::Utf16leToUtf8;
using platform::Utf8ToUtf16le;

// ASCII-only case folding, the way names and keys are compared.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);

// Blanks and control characters (<= ' ') removed at both ends.
std::string_view Trim(std::string_view s);

}  // namespace zent
