// The page's status text as the window shows it: plain, one line, bounded.
#include "browser/rules/PageText.h"

#include <gtest/gtest.h>

#include <string>

namespace zent {
namespace {

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(PageText, ControlsAndBrokenBytesNeverReachTheLabel) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"桌台 12 正在点餐 Table twelve", "桌台 12 正在点餐 Table twelve"},
      {"<img src=\"file:///etc/passwd\"><b>x</b>", "<img src=\"file:///etc/passwd\"><b>x</b>"},  // markup stays text
      {"a\r\nb\tc\vd\fe", "a  b c d e"},
      {"a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\xC2\x85" "d", "a b c d"},
      {std::string("a\0b\x01\x1B[31mc\x7F", 11), "ab[31mc"},
      {"a\xC2\x9B" "b", "ab"},                                         // C1 control
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                             // not UTF-8
      {"a\xED\xA0\x80" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b"},  // a lone surrogate
      {"a\xF0\x9F\x8D\x9C", "a\xF0\x9F\x8D\x9C"},                     // beyond the basic plane
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(PageTextForDisplay(c.in), c.out);
  }
}

TEST(PageText, LongTextsEndInAnEllipsisWithoutSplittingACharacter) {
  const std::string ellipsis = "\xE2\x80\xA6";
  const std::string noodles = "\xF0\x9F\x8D\x9C";  // two UTF-16 units in the label
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {std::string(kMaxPageTextChars, 'a'), std::string(kMaxPageTextChars, 'a')},
      {std::string(kMaxPageTextChars + 1, 'a'), std::string(kMaxPageTextChars - 1, 'a') + ellipsis},
      {std::string(10 * 1024 * 1024, 'a'), std::string(kMaxPageTextChars - 1, 'a') + ellipsis},
  };
  for (const auto& c : cases) EXPECT_EQ(PageTextForDisplay(c.in), c.out);

  std::string wide;
  for (size_t i = 0; i < kMaxPageTextChars + 5; ++i) wide += noodles;
  const std::string shown = PageTextForDisplay(wide);
  EXPECT_EQ(CodePoints(shown), kMaxPageTextChars);
  EXPECT_EQ(shown.substr(shown.size() - 3), ellipsis);
  EXPECT_EQ(shown.substr(shown.size() - 7, 4), noodles);  // whole characters before it
}

}  // namespace
}  // namespace zent
