// Filling translated patterns with several values: in order, never as a printf format, and a
// value's own "%s" is never filled again.
#include <gtest/gtest.h>

#include "common/TextFill.h"

namespace zent {
namespace {

TEST(FillTexts, FillsMarksInOrderAndLeavesTheRestAsText) {
  struct Case {
    const char* pattern;
    std::initializer_list<std::string_view> values;
    const char* expected;
  };
  const Case cases[] = {
      {"[CP('%s', ' %s')] [%s]", {"a", "b", "c"}, "[CP('a', ' b')] [c]"},
      {"%s-%d", {"x", "7"}, "x-7"},
      {"%s %s %s", {"only"}, "only %s %s"},           // marks beyond the values stay
      {"%s", {"one", "two"}, "one"},                  // values beyond the marks are dropped
      {"%s|%s", {"%s", "v"}, "%s|v"},                 // a value is never searched for marks
      {"%n %x %s%", {"v"}, "%n %x v%"},               // other printf marks are plain text
      {"no marks", {"v"}, "no marks"},
      {"", {"v"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillTexts(c.pattern, c.values), c.expected) << c.pattern;
  }
}

}  // namespace
}  // namespace zent
