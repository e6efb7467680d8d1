// Status texts per page address: the add, replace and remove rules and the bound.
#include "browser/rules/BottomTexts.h"

#include <gtest/gtest.h>

#include <string>

namespace zent {
namespace {

TEST(BottomTexts, EmptyTextIsKeptForANewPageAndRemovesAnExistingEntry) {
  TBottomTexts texts;
  texts.Set("http://h/a?x=1", "");
  ASSERT_TRUE(texts.Find("http://h/a?x=1"));  // an entry with an empty text: shown as empty
  EXPECT_EQ(*texts.Find("http://h/a?x=1"), "");
  texts.Set("http://h/a?x=1", "");  // now it exists: the empty text removes it
  EXPECT_FALSE(texts.Find("http://h/a?x=1"));

  texts.Set("http://H/A?X=1", "first");
  texts.Set("http://h/a?x=1", "second");  // the same page, other case
  EXPECT_EQ(texts.Size(), 1u);
  EXPECT_EQ(texts.Find("HTTP://h/A?x=1"), "second");
  EXPECT_FALSE(texts.Find("http://h/a?x=2"));
  texts.Clear();
  EXPECT_FALSE(texts.Find("http://h/a?x=1"));
}

TEST(BottomTexts, KeepsTheMostRecentlySetPagesWithinTheBound) {
  TBottomTexts texts;
  const auto page = [](size_t i) { return "http://h/order?id=" + std::to_string(i); };
  texts.Set(page(0), "kept: set again below");
  for (size_t i = 1; i < TBottomTexts::kMaxEntries; ++i) texts.Set(page(i), "t");
  texts.Set(page(0), "renewed");
  texts.Set(page(TBottomTexts::kMaxEntries), "pushes out the oldest");
  EXPECT_EQ(texts.Size(), TBottomTexts::kMaxEntries);
  EXPECT_EQ(texts.Find(page(0)), "renewed");
  EXPECT_FALSE(texts.Find(page(1)));
  EXPECT_TRUE(texts.Find(page(2)));
  EXPECT_EQ(texts.Find(page(TBottomTexts::kMaxEntries)), "pushes out the oldest");
}

TEST(BottomTexts, BytesStayBoundedWhateverThePagesSend) {
  TBottomTexts texts;
  texts.Set("http://h/old", "an older text");
  // An address of many kilobytes is not kept, and takes its page's older text with it.
  const std::string huge = "http://h/?" + std::string(TBottomTexts::kMaxEntryBytes, 'q');
  texts.Set(huge, "x");
  EXPECT_FALSE(texts.Find(huge));
  texts.Set("http://h/big", "kept");
  texts.Set("http://h/big", std::string(TBottomTexts::kMaxEntryBytes, 't'));
  EXPECT_FALSE(texts.Find("http://h/big"));

  // Entries of almost the largest size: the oldest go once the total would pass the bound.
  const std::string text(TBottomTexts::kMaxEntryBytes - 64, 'x');
  const size_t fit = TBottomTexts::kMaxTotalBytes / (text.size() + 20);
  for (size_t i = 0; i < fit + 50; ++i) texts.Set("http://h/p?" + std::to_string(100000 + i), text);
  EXPECT_LE(texts.Bytes(), TBottomTexts::kMaxTotalBytes);
  EXPECT_GT(texts.Bytes(), TBottomTexts::kMaxTotalBytes - 2 * TBottomTexts::kMaxEntryBytes);
  EXPECT_FALSE(texts.Find("http://h/old"));
  EXPECT_FALSE(texts.Find("http://h/p?100000"));
  EXPECT_TRUE(texts.Find("http://h/p?" + std::to_string(100000 + fit + 49)));

  // Replacing and removing keep the count of bytes true.
  texts.Clear();
  EXPECT_EQ(texts.Bytes(), 0u);
  texts.Set("http://h/a", "12345");
  texts.Set("http://h/a", "1");
  EXPECT_EQ(texts.Bytes(), std::string("http://h/a1").size());
  texts.Set("http://h/a", "");
  EXPECT_EQ(texts.Bytes(), 0u);
}

}  // namespace
}  // namespace zent
