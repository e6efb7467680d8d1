// Translation of user-visible texts. The Chinese text is both the key and the fallback.
#pragma once

#include <string>

namespace zent {

// The text in the user's language; the text itself when no translation is known.
std::string Translate(const std::string& text);

}  // namespace zent
