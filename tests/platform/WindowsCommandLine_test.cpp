// The C runtime's rules for splitting a command line, as the Windows layer writes one: each
// row is a word and what must stand on the command line for the child to read it back.
#include "platform/WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace zent::platform {
namespace {

TEST(WindowsCommandLine, EachWordIsQuotedOnlyAsMuchAsItsCharactersNeed) {
  struct Case {
    std::string word;
    std::string quoted;
  } cases[] = {
      {"plain", "plain"},
      {"", "\"\""},                                  // an empty word must still be a word
      {"two words", "\"two words\""},
      {"tab\there", "\"tab\there\""},
      {"line\nbreak", "\"line\nbreak\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},         // quotes escaped inside quotes
      {"\"", "\"\\\"\""},
      {"C:\\Program Files\\", "\"C:\\Program Files\\\\\""},  // a final backslash doubled
      {"C:\\dir\\file", "C:\\dir\\file"},            // backslashes elsewhere stay single
      {"a\\\"b", "\"a\\\\\\\"b\""},                  // a backslash before a quote doubled, quote escaped
      {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
      {"a\\\\ b", "\"a\\\\ b\""},                    // backslashes before a space stay as they are
      {"$(id);`x`|&<>", "$(id);`x`|&<>"},            // nothing a shell would see: no shell runs
      {"\xE5\xB9\xBF\xE6\x92\xAD", "\xE5\xB9\xBF\xE6\x92\xAD"},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteWindowsArgument(c.word), c.quoted) << c.word;
}

TEST(WindowsCommandLine, TheProgramIsAlwaysQuotedAndWordsAreSeparatedBySingleSpaces) {
  EXPECT_EQ(WindowsCommandLine("C:\\Program Files\\app.exe", {}), "\"C:\\Program Files\\app.exe\"");
  EXPECT_EQ(WindowsCommandLine("C:\\app.exe", {"/SILENT", "", "a b"}), "\"C:\\app.exe\" /SILENT \"\" \"a b\"");
}

}  // namespace
}  // namespace zent::platform
