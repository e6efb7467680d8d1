#include "common/Encoding.h"

#include <gtest/gtest.h>

namespace zent {
namespace {

TEST(Encoding, RoundTripsAcrossPlanes) {
  const std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80z";  // a, 中, U+1F600, z
  const std::u16string wide = Utf8ToUtf16(text);
  ASSERT_EQ(wide.size(), 5u);
  EXPECT_EQ(wide[1], u'\u4E2D');
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Encoding, MalformedInputBecomesReplacementCharacters) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"\xC3", u"\uFFFD"},                 // truncated
      {"\xC0\xAF", u"\uFFFD\uFFFD"},       // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // surrogate
      {"\xFF" "a", u"\uFFFDa"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.in), c.out);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(Encoding, CaseAndTrim) {
  EXPECT_TRUE(EqualsNoCase("-ForDebug", "-fordebug"));
  EXPECT_FALSE(EqualsNoCase("-fordebug", "-fordebu"));
  EXPECT_EQ(AsciiUpper("ab\xE4\xB8\xAD"), "AB\xE4\xB8\xAD");
  EXPECT_EQ(Trim(" \t 6.6.1.2 \r\n"), "6.6.1.2");
  EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace zent
