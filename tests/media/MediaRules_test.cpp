// The pure rules of video playback: the rectangle text, the address rules, the request a
// page command makes, and the adapter's mpv command line.
#include <gtest/gtest.h>

#include <limits>

#include "media/AdAddress.h"
#include "media/AdPlayback.h"
#include "media/MpvCommand.h"
#include "media/WindowRect.h"

namespace zent {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(WindowRectTest, EncodesEachByteAsTwoLettersLowBitsFirst) {
  struct Case {
    TScreenRect rect;
    const char* text;
  };
  const Case cases[] = {
      {{100, 0, 0, 0}, "EGAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
      {{0x12, 0, 0, 0}, "CBAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
      {{10, 20, 310, 220}, "KAAAAAAAEBAAAAAAGDBAAAAAMNAAAAAA"},
      {{-1, kMin, kMax, 0}, "PPPPPPPPAAAAAAAIPPPPPPPHAAAAAAAA"},
  };
  for (const auto& c : cases) {
    const std::string text = EncodeWindowRect(c.rect);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(DecodeWindowRect(text), c.rect) << c.text;
  }
}

TEST(WindowRectTest, DecodingRefusesAnythingButThirtyTwoLettersAToP) {
  for (const char* bad : {"", "KAAAAAAAEBAAAAAAGBBAAAAAMNAAAAA", "KAAAAAAAEBAAAAAAGBBAAAAAMNAAAAAAA",
                          "QAAAAAAAEBAAAAAAGBBAAAAAMNAAAAAA", "kAAAAAAAEBAAAAAAGBBAAAAAMNAAAAAA",
                          "KAAAAAAAEBAAAAAA GBAAAAAMNAAAAAA"}) {
    EXPECT_FALSE(DecodeWindowRect(bad).has_value()) << bad;
  }
}

TEST(AdVideoAddressTest, ServerPathsGetTheConfiguredServerAndHttpAddressesStay) {
  struct Case {
    const char* url;
    const char* expected;
  };
  const Case cases[] = {
      {"/media/a.mp4", "http://10.1.2.3:8080/media/a.mp4"},
      {"media/a.mp4", "http://10.1.2.3:8080/media/a.mp4"},
      {"HTTP://other:81/x.mp4", "HTTP://other:81/x.mp4"},
      {"http://other/x.mp4", "http://other/x.mp4"},
      {"https://other/x.mp4", "http://10.1.2.3:8080/https://other/x.mp4"},
      {"", "http://10.1.2.3:8080/"},
      {"a b\"'$(rm -rf ~);.mp4", "http://10.1.2.3:8080/a b\"'$(rm -rf ~);.mp4"},
  };
  for (const auto& c : cases) EXPECT_EQ(AdVideoAddress(c.url, "10.1.2.3", 8080), c.expected) << c.url;
}

TEST(MakeAdRequestTest, MovesTheClientRectangleToTheScreenAndStopsAtTheIntegerRange) {
  auto r = MakeAdRequest(10, 20, 300, 200, 0, 0, "/media/a.mp4", "h", 80, "items");
  EXPECT_EQ(r.rect, (TScreenRect{10, 20, 310, 220}));
  EXPECT_EQ(r.url, "http://h:80/media/a.mp4");
  EXPECT_EQ(r.itemsText, "items");

  r = MakeAdRequest(10, 20, 300, 200, 100, 50, "x", "h", 80, "");
  EXPECT_EQ(r.rect, (TScreenRect{110, 70, 410, 270}));

  r = MakeAdRequest(kMax, -5, kMax, kMin, 10, -10, "x", "h", 80, "");
  EXPECT_EQ(r.rect, (TScreenRect{kMax, -15, kMax, kMin}));
}

TEST(MpvCommandTest, PlacesABorderlessLoopingWindowAndPassesTheAddressAfterTheOptions) {
  const auto args = MpvArguments(TScreenRect{10, 20, 310, 220}, "--script=/tmp/x.lua");
  ASSERT_GE(args.size(), 2u);
  EXPECT_EQ(args[args.size() - 2], "--");
  EXPECT_EQ(args.back(), "--script=/tmp/x.lua");
  auto has = [&](const std::string& a) { return std::find(args.begin(), args.end(), a) != args.end(); };
  for (const char* a : {"--geometry=300x200+10+20", "--no-border", "--ontop", "--loop-file=inf", "--vo=x11"}) {
    EXPECT_TRUE(has(a)) << a;
  }

  struct Case {
    TScreenRect rect;
    const char* geometry;
  };
  const Case cases[] = {
      {{-50, -60, 100, 100}, "--geometry=100x100+0+0"},
      {{10, 10, 10, 5}, "--geometry=1x1+10+10"},
      {{kMin, kMin, kMax, kMax}, "--geometry=2147483647x2147483647+0+0"},
  };
  for (const auto& c : cases) {
    const auto a = MpvArguments(c.rect, "u");
    EXPECT_NE(std::find(a.begin(), a.end(), c.geometry), a.end()) << c.geometry;
  }
  const auto unplaced = MpvArguments(std::nullopt, "u");
  EXPECT_EQ(std::count_if(unplaced.begin(), unplaced.end(), [](const std::string& a) { return a.starts_with("--geometry"); }), 0);
}

TEST(MpvCommandTest, FindsTheAddressAfterPlay) {
  EXPECT_EQ(PlayAddressOf({"/play", "http://h/a b.mp4"}), "http://h/a b.mp4");
  EXPECT_EQ(PlayAddressOf({"/x", "/PLAY", "u"}), "u");
  EXPECT_FALSE(PlayAddressOf({"/play"}).has_value());
  EXPECT_FALSE(PlayAddressOf({}).has_value());
}

}  // namespace
}  // namespace zent
