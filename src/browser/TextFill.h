// Filling a translated text pattern with one value. Patterns come from language files, so
// they are never used as printf formats: only the first "%s" (or "%d") is replaced.
#pragma once

#include <string>

namespace zent {

std::string FillText(const std::string& pattern, const std::string& value);

}  // namespace zent
