// Filling a translated text pattern with values. Patterns come from language files, so they
// are never used as printf formats: each value replaces the next "%s" (or "%d") in turn, and
// a value's own text is never searched for marks.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zent {

// Only the first mark is replaced.
std::string FillText(const std::string& pattern, const std::string& value);
// The first mark gets the first value, the next mark the next value; marks beyond the values
// stay as they are, values beyond the marks are dropped.
std::string FillTexts(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace zent
