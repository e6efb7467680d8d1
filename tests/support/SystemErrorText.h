// What a test can expect of an error text that ends in the system's own words: the step's
// name, then a non-empty text in UTF-8 (the words differ per system and language).
#pragma once

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace zent::testing {

inline bool IsUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();)
    if (platform::NextCodePoint(text, pos) == platform::kInvalidUtf8) return false;
  return true;
}

// `text` holds "<anything>: <system text>" with a non-empty system text, all in UTF-8.
inline bool EndsInSystemText(const std::string& text) {
  const size_t colon = text.rfind(": ");
  return colon != std::string::npos && text.size() > colon + 2 && IsUtf8(text);
}

}  // namespace zent::testing
