// Locale-aware upper-casing of whole texts, the way language identifiers and text keys are
// compared. Unlike AsciiUpper it maps every letter that has an upper-case form (é -> É,
// ж -> Ж); texts without case, such as Chinese, stay as they are.
// Contract: nothing throws; invalid UTF-8 comes back with U+FFFD in place of damaged bytes.
#pragma once

#include <string>
#include <string_view>

namespace zent::platform {

// Linux: the Unicode case mapping of the C.UTF-8 locale, the same on every machine, so a
// language file built on one terminal matches its keys on another.
std::string UpperCaseText(std::string_view utf8);

}  // namespace zent::platform
