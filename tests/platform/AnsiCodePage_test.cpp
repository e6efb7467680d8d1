#include "platform/AnsiCodePage.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace zent::platform {
namespace {

// At process end the thread's converters are gone before static objects are; a conversion
// from a static destructor (the log's end banner) still works.
TEST(AnsiCodePage, ConvertsAfterTheThreadsConvertersAreGone) {
  testing::TempDir dir;
  testing::Child child("ansiatexit", {dir / "out"});
  ASSERT_EQ(child.Wait(), 0);
  std::ifstream in(dir / "out", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(text, "\xD6\xD0" "x|\xE4\xB8\xAD");
}

TEST(AnsiCodePage, KnownGbkBytesRoundTrip) {
  struct Case {
    std::string utf8;
    std::string gbk;
  } cases[] = {
      {"\xE5\xB9\xBF\xE6\x92\xAD\xE6\xB5\x8B\xE8\xAF\x95", "\xB9\xE3\xB2\xA5\xB2\xE2\xCA\xD4"},  // 广播测试
      {"abc 123", "abc 123"},
      {"", ""},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\xE4\xB8\xAD" "x", "\xD6\xD0" "x"},  // 中x
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.gbk) << c.utf8;
    EXPECT_EQ(AnsiToUtf8(c.gbk), c.utf8) << c.utf8;
  }
}

TEST(AnsiCodePage, Utf8ThatGbkCannotHoldBecomesQuestionMarks) {
  struct Case {
    std::string utf8;
    std::string gbk;
  } cases[] = {
      {"a\xF0\x9F\x98\x80z", "a?z"},             // emoji: one character, one "?"
      {"\xE0\xB8\x81\xE4\xB8\xAD", "?\xD6\xD0"},  // Thai ko kai, then 中
      {"\xFF" "a", "?a"},                          // never a UTF-8 byte
      {"\xC0\xAF", "??"},                          // overlong
      {"\xED\xA0\x80", "???"},                     // encoded surrogate
      {"a\xE4\xB8", "a?"},                         // truncated at the end
      {"\xE4\xB8" "b", "?b"},                      // truncated in the middle
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8), c.gbk) << c.utf8;
}

TEST(AnsiCodePage, InvalidGbkBecomesReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string gbk;
    std::string utf8;
  } cases[] = {
      {"\xB9", fffd},                        // lead byte alone at the end
      {"\xB9" "1", fffd + "1"},              // lead byte, then a digit that cannot trail
      {"\xFF" "\xB9\xE3", fffd + "\xE5\xB9\xBF"},
      {"x\xB9\xE3\xB2", "x\xE5\xB9\xBF" + fffd},
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(c.gbk), c.utf8);
}

TEST(AnsiCodePage, LongAndHostileInputEndsWithOneOutputPerInput) {
  // Larger than the internal chunk, with a bad byte every few characters.
  std::string gbk, utf8;
  for (int i = 0; i < 5000; ++i) {
    gbk += "\xB9\xE3\xFF";
    utf8 += "\xE5\xB9\xBF\xEF\xBF\xBD";
  }
  EXPECT_EQ(AnsiToUtf8(gbk), utf8);
  std::string bad(10000, '\x80');
  EXPECT_EQ(Utf8ToAnsi(bad), std::string(10000, '?'));
}

TEST(AnsiCodePage, ThreadsConvertIndependently) {
  std::vector<std::jthread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (AnsiToUtf8("\xB9\xE3\xB2\xA5") != "\xE5\xB9\xBF\xE6\x92\xAD") ++failures[t];
        if (Utf8ToAnsi("\xE6\xB5\x8B\xF0\x9F\x98\x80") != "\xB2\xE2?") ++failures[t];
      }
    });
  }
  threads.clear();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace zent::platform
