// The console command channel: how a message splits into items and which command it names.
#include "browser/rules/ConsoleCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zent {
namespace {

using K = TPageCommandKind;

TEST(ConsoleItems, SplitsOnlyAtCommasAndUnquotesQuotedItems) {
  struct Case {
    std::string text;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a,b", {"a", "b"}},
      {"ZENTCMD=ZentShop, MsgText=x", {"ZENTCMD=ZentShop", " MsgText=x"}},  // blanks stay
      {"a\n,b ", {"a\n", "b "}},
      {"a,", {"a", ""}},  // a trailing comma adds an empty item
      {",", {"", ""}},
      {"a,,b", {"a", "", "b"}},
      {R"("Params={""a"":1,""b"":2}",x=1)", {R"(Params={"a":1,"b":2})", "x=1"}},
      {R"("a,b"c,d)", {"a,b", "c", "d"}},  // after the closing quote: a further item
      {R"("a""")", {R"(a")"}},
      {R"("unclosed,still one)", {"unclosed,still one"}},
      {R"(x="y,z")", {R"(x="y)", R"(z")"}},  // a quote inside an item is ordinary
      {R"("a","b")", {"a", "b"}},
      {R"("a",)", {"a", ""}},
      {R"("")", {""}},
      {R"("a""b""c")", {R"(a"b"c)"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TConsoleItems(c.text).Items(), c.items) << c.text;
  }
}

TEST(ConsoleItems, NamesIgnoreCaseTheFirstCountsAndValuesKeepFurtherEquals) {
  const TConsoleItems items("ZENTCMD=a,zentcmd=b,Key=x=y,noequals,=empty,MSGTEXT=");
  EXPECT_EQ(items.Value("ZENTCMD"), "a");
  EXPECT_EQ(items.Value("ZentCmd"), "a");
  EXPECT_EQ(items.Value("key"), "x=y");
  EXPECT_EQ(items.Value("noequals"), "");
  EXPECT_FALSE(items.Has("noequals"));
  EXPECT_TRUE(items.Has("MsgText"));
  EXPECT_EQ(items.Value("MsgText"), "");
  EXPECT_EQ(items.Value("absent"), "");
  EXPECT_EQ(items.Text(), "ZENTCMD=a\r\nzentcmd=b\r\nKey=x=y\r\nnoequals\r\n=empty\r\nMSGTEXT=\r\n");
}

struct Expect {
  std::string message;
  std::optional<K> kind;  // nullopt: no command
  std::string text = {};
};

void Check(const std::vector<Expect>& cases) {
  for (const auto& c : cases) {
    const auto command = ParseConsoleCommand(c.message);
    ASSERT_EQ(command.has_value(), c.kind.has_value()) << c.message;
    if (!command) continue;
    EXPECT_EQ(command->kind, *c.kind) << c.message;
    EXPECT_EQ(command->text, c.text) << c.message;
  }
}

TEST(ParseConsoleCommand, CommandNamesMatchWholeWithoutCaseAndWithoutTrimming) {
  Check({
      {"ZENTCMD=FullScreen", K::FullScreen},
      {"ZENTCMD=FullScreenOn", K::FullScreenOn},
      {"zentcmd=fullscreenon", K::FullScreenOn},
      {"ZENTCMD=FULLSCREENOFF", K::FullScreenOff},
      {"ZENTCMD=CloseBrowser", K::CloseBrowser},
      {"ZENTCMD=RefuseCloseBrowser", K::RefuseCloseBrowser},
      {"ZENTCMD=AllowCloseBrowser", K::AllowCloseBrowser},
      {"ZENTCMD=ResetDeviceMgr", K::ResetDeviceMgr},
      {"ZENTCMD=MinimizeBrowser", K::MinimizeBrowser},
      {"ZENTCMD= FullScreenOn", std::nullopt},   // blank after "="
      {"ZENTCMD=FullScreenOn ", std::nullopt},   // trailing blank
      {"ZENTCMD=FullScreenOn\n", std::nullopt},
      {" ZENTCMD=FullScreenOn", std::nullopt},   // the name begins with a blank
      {"ZENTCMD =FullScreenOn", std::nullopt},
      {"x ZENTCMD=CloseBrowser", std::nullopt},  // the item does not begin with the name
      {"ZENTCMD=", std::nullopt},
      {"ZENTCMD", std::nullopt},
      {"ZENTCMD=Nothing", std::nullopt},
      {"ZENTCMD=FullScreenOnOff", std::nullopt},
      {"hello, world", std::nullopt},
      {"", std::nullopt},
      {"ZENTCMD=FullScreenOff,ZENTCMD=CloseBrowser", K::FullScreenOff},  // the first counts
      {"a=1,zentCmd=MinimizeBrowser,ZENTCMD=CloseBrowser", K::MinimizeBrowser},
      {"\"ZENTCMD=CloseBrowser\"", K::CloseBrowser},
      {"\"ZENTCMD=Close\"\"Browser\"", std::nullopt},
      {"ZENTCMD=ﬀ", std::nullopt},  // non-ASCII text is compared byte for byte
  });
}

TEST(ParseConsoleCommand, ZentShopAndLumoLoginCarryTheirItem) {
  Check({
      {"ZENTCMD=ZentShop,MsgText=Table 12 ordering", K::ZentShop, "Table 12 ordering"},
      {"ZENTCMD=ZentShop", K::ZentShop, ""},
      {"ZENTCMD=ZentShop, MsgText=x", K::ZentShop, ""},  // " MsgText" is another name
      {"ZENTCMD=ZentShop,msgtext=桌台 3", K::ZentShop, "桌台 3"},
      {"ZENTCMD=LumoLogin", K::LumoLogin, ""},
      {"ZENTCMD=LumoLogin,Params={\"user\":\"a\",\"shop\":7}", K::LumoLogin, "{\"user\":\"a\""},
      {"ZENTCMD=LumoLogin,\"Params={\"\"user\"\":\"\"a\"\",\"\"shop\"\":7}\"", K::LumoLogin,
       "{\"user\":\"a\",\"shop\":7}"},
      {"ZENTCMD=LumoLogin,Params=", K::LumoLogin, ""},
  });
}

TEST(ParseConsoleCommand, OpenUrlTakesTheTextBetweenTheParentheses) {
  Check({
      {"ZENTCMD=openurl(http://a/b?c=1&d=2)", K::OpenUrl, "http://a/b?c=1&d=2"},
      {"ZENTCMD=OpenURL(http://a)", K::OpenUrl, "http://a"},
      {"ZENTCMD=xopenurl(x)", K::OpenUrl, "x"},  // matched anywhere in the value
      {"ZENTCMD=openurl(a b)", K::OpenUrl, "a b"},
      {"ZENTCMD=openurl( a )", K::OpenUrl, " a "},  // not trimmed
      {"ZENTCMD=openurl(a(b)c)", K::OpenUrl, "a(b"},  // cut at the first ")"
      {"ZENTCMD=openurl)x(y)", K::OpenUrl, "y"},
      {"ZENTCMD=OPENURL( )", std::nullopt},
      {"ZENTCMD=openurl()", std::nullopt},
      {"ZENTCMD=openurl(\t\n)", std::nullopt},
      {"ZENTCMD=openurl", std::nullopt},
      {"ZENTCMD=openurl(unclosed", std::nullopt},
      {"ZENTCMD=openurl(a,b)", std::nullopt},  // the comma ends the value: no ")"
      {"\"ZENTCMD=openurl(a,b)\"", K::OpenUrl, "a,b"},
      {"ZENTCMD=openurl(a\"b)", K::OpenUrl, "a\"b"},
  });
}

TEST(ParseConsoleCommand, PlayADParamReadsItsNumbersOrComposesTheFailure) {
  const auto ok = ParseConsoleCommand("ZENTCMD=PlayADParam,Left=0,Top=-5,Width=1024,Heigh=600,URL=/media/ad1.mp4");
  ASSERT_TRUE(ok && ok->ad);
  EXPECT_EQ(ok->kind, K::PlayADParam);
  EXPECT_EQ(ok->ad->left, 0);
  EXPECT_EQ(ok->ad->top, -5);
  EXPECT_EQ(ok->ad->width, 1024);
  EXPECT_EQ(ok->ad->height, 600);
  EXPECT_EQ(ok->ad->url, "/media/ad1.mp4");
  EXPECT_TRUE(ok->failure.empty());
  EXPECT_EQ(ok->itemsText, "ZENTCMD=PlayADParam\r\nLeft=0\r\nTop=-5\r\nWidth=1024\r\nHeigh=600\r\nURL=/media/ad1.mp4\r\n");

  struct Case {
    std::string message, badValue;
  } bad[] = {
      {"ZENTCMD=PlayADParam,Left=ten,Top=0,Width=1,Heigh=1,URL=u", "ten"},
      {"ZENTCMD=PlayADParam,Left=1,Top=0,Width=1,URL=u", ""},  // "Heigh" missing
      {"ZENTCMD=PlayADParam,Left=1,Top=0,Width=1,Height=1,URL=u", ""},  // the name is "Heigh"
      {"ZENTCMD=PlayADParam,Left=2147483648,Top=0,Width=1,Heigh=1", "2147483648"},
      {"ZENTCMD=PlayADParam,Left= 1,Top=0,Width=1,Heigh=1", " 1"},
      {"ZENTCMD=PlayADParam,Left=0x10,Top=0,Width=1,Heigh=1", "0x10"},
  };
  for (const auto& c : bad) {
    const auto command = ParseConsoleCommand(c.message);
    ASSERT_TRUE(command) << c.message;
    EXPECT_FALSE(command->ad) << c.message;
    const std::string items = TConsoleItems(c.message).Text();
    EXPECT_EQ(command->failure, "播放视频失败[参数[" + items + "],错误['" + c.badValue +
                                    "' is not a valid integer value]]")
        << c.message;
  }
  // Every item of the message is listed, the unknown ones too.
  const auto failed = ParseConsoleCommand("ZENTCMD=PlayADParam,Left=ten,Extra=1,\"Q=a,b\"");
  ASSERT_TRUE(failed);
  EXPECT_NE(failed->failure.find("ZENTCMD=PlayADParam\r\nLeft=ten\r\nExtra=1\r\nQ=a,b\r\n"), std::string::npos);
}

TEST(ParseInt32, AcceptsOnlyDecimalIntegersInRange) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0}, {"-0", 0}, {"+7", 7}, {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX},
      {"007", 7}, {"", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt}, {"+-1", std::nullopt},
      {"++1", std::nullopt}, {"1 ", std::nullopt}, {"1.5", std::nullopt}, {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt}, {"１", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseInt32(c.text), c.value) << c.text;
}

TEST(ParseConsoleCommand, SurvivesLongAndBinaryMessages) {
  std::string big(1 << 20, ',');
  EXPECT_FALSE(ParseConsoleCommand(big));
  big = "ZENTCMD=ZentShop,MsgText=" + std::string(1 << 20, 'x');
  const auto shop = ParseConsoleCommand(big);
  ASSERT_TRUE(shop);
  EXPECT_EQ(shop->text.size(), size_t{1} << 20);
  const std::string binary("ZENTCMD=openurl(a\0b)", 20);
  const auto open = ParseConsoleCommand(binary);
  ASSERT_TRUE(open);
  EXPECT_EQ(open->text, std::string("a\0b", 3));
}

}  // namespace
}  // namespace zent
