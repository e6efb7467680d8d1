// Version comparison, path and file name cleaning, and the utilities' error texts.
#include "common/Utils.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/ErrorWrap.h"

namespace zent {
namespace {

TEST(CompareVer, OrdersDottedVersions) {
  struct Case {
    const char* v1;
    const char* v2;
    int expected;
  };
  const Case cases[] = {
      {"6.6.1.2", "6.6.1.10", 1},  // numbers, not text
      {"6.6.2.0", "6.6.1.9", -1},
      {"  6.6.1.2 \t", "6.6.1.2", 0},
      {"", "1.0", 0},
      {"1.0", "   ", 0},
      {"1.2", "1.2.5", 0},  // parts beyond the shorter version are ignored
      {"1.2.5", "1.2", 0},
      {"1 2 3", "1.2.4", 1},  // a blank separates parts too
      {"1 . 2", "1.3", 1},    // blanks around a dot belong to it
      {"2.a", "1.0", -1},     // decided before the bad part is reached
      {"007.1", "7.1", 0},
      {"+1.0", "1.0", 0},
      {"-1.0", "0.0", 1},
      {"2147483647", "2147483646", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompareVer(c.v1, c.v2), c.expected) << "'" << c.v1 << "' vs '" << c.v2 << "'";
}

TEST(CompareVer, PartThatIsNotADecimalIntegerIsAnError) {
  struct Case {
    const char* v1;
    const char* v2;
    const char* message;
  };
  const Case cases[] = {
      {"1.a", "1.2", "CompareVer异常['a' is not a valid integer value]。"},
      {"1.2", "1.0x2", "CompareVer异常['0x2' is not a valid integer value]。"},
      {"1..2", "1.1.1", "CompareVer异常['' is not a valid integer value]。"},
      {"1.", "1.0", "CompareVer异常['' is not a valid integer value]。"},
      {"1.2", "1.99999999999", "CompareVer异常['99999999999' is not a valid integer value]。"},
      {"1.+-2", "1.2", "CompareVer异常['+-2' is not a valid integer value]。"},
      {"版本.1", "1.1", "CompareVer异常['版本' is not a valid integer value]。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.v1) + " vs " + c.v2);
    try {
      CompareVer(c.v1, c.v2);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_TRUE(IsPlainBaseError(e));
    }
  }
}

TEST(ClearNames, ReplacesTheForbiddenCharacters) {
  struct Case {
    std::string input;
    std::string replacement;
    std::string path;
    std::string fileName;
  };
  const Case cases[] = {
      {"a:b\\c?.txt", "", "ab\\c.txt", "abc.txt"},
      {"\"*/:<>?`|\\", "", "\\", ""},
      {"a|b", "_", "a_b", "a_b"},
      {"x/y\\z", "--", "x--y\\z", "x--y--z"},
      {"tab\there\n", "", "tab\there\n", "tab\there\n"},  // control characters stay
      {"菜单:今日?", "_", "菜单_今日_", "菜单_今日_"},  // UTF-8 bytes never match
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClearToPath(c.input, c.replacement), c.path) << c.input;
    EXPECT_EQ(ClearToFileName(c.input, c.replacement), c.fileName) << c.input;
  }
}

TEST(ClearNames, FunctionChoosesThePerCharacterReplacement) {
  auto hex = [](char c) { return "%" + std::to_string(static_cast<int>(c)); };
  EXPECT_EQ(ClearToPath("a:b\\c", hex), "a%58b\\c");
  EXPECT_EQ(ClearToFileName("a:b\\c", hex), "a%58b%92c");
  // No function drops the characters.
  EXPECT_EQ(ClearToFileName("a:b\\c", std::function<std::string(char)>{}), "abc");
}

TEST(ErrorWrap, NamesTheFunctionAroundTheInnerMessage) {
  auto inner = [] {
    return CallWrapped("GetProcessPath", []() -> int { throw std::runtime_error("denied"); });
  };
  try {
    CallWrapped("GetProcessInfo", inner);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "GetProcessInfo异常[GetProcessPath异常[denied]。]。");
  }
  EXPECT_EQ(CallWrapped("KillProcess", [] { return 5; }), 5);
}

}  // namespace
}  // namespace zent
