// A text the page supplies for the window to show (the status text): shown as plain text,
// on one line, at a bounded length. The page is untrusted, so nothing in the text is read as
// markup or may grow the window's memory or work without bound.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zent {

// Characters (Unicode code points, so a character beyond the basic plane, two UTF-16 units
// in the label, is never split) a page text keeps; a longer text ends in "…" at this length.
inline constexpr size_t kMaxPageTextChars = 512;

// The text as the window shows and keeps it: line breaks, tabs and the line and paragraph
// separators become a blank, other control characters go, bytes that are not UTF-8 (a lone
// surrogate among them) become U+FFFD, and the length is capped at kMaxPageTextChars.
std::string PageTextForDisplay(std::string_view text);

}  // namespace zent
