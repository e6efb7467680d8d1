#include "discovery/Datagrams.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/Errors.h"

namespace zent {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

TEST(TRequestData, ExactBytes) {
  const auto b = TRequestData{}.ToBytes();
  ASSERT_EQ(b.size(), 112u);
  const auto head = Bytes({0, 0, 0, 0, 10, 0, 0, 0, 8, 0xB9, 0xE3, 0xB2, 0xA5, 0xB2, 0xE2, 0xCA, 0xD4});
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 17), head);
  for (size_t i = 17; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << "offset " << i;
}

// A hand-built answer so the parser is checked against the layout, not against ToBytes.
std::vector<uint8_t> SampleAnswer(size_t size = 236) {
  std::vector<uint8_t> d(size, 0xEE);  // filler where the fields leave bytes unused
  const auto put = [&](size_t off, std::vector<uint8_t> v) { std::copy(v.begin(), v.end(), d.begin() + static_cast<long>(off)); };
  put(0, Bytes({0x78, 0x56, 0x34, 0x12}));                 // SMacType 0x12345678
  put(4, Bytes({11, 0, 0, 0}));                            // SMsgType 11
  put(8, Bytes({8, '1', '0', '.', '1', '.', '2', '.', '3'}));  // STomcatIp
  put(24, Bytes({0x90, 0x1F}));                            // port 8080
  put(28, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));                // SExist -1
  put(32, Bytes({6, 'l', 'u', 'm', 'o', '7', '/'}));       // SUrl
  put(133, Bytes({4, 0xB2, 0xE2, 0xCA, 0xD4}));            // SText 测试 in GBK
  return d;
}

TEST(TReplyData, ParsesEachFieldOfAnAnswer) {
  TReplyData rd;
  ASSERT_TRUE(rd.FromBytes(SampleAnswer()));
  EXPECT_EQ(rd.SMacType, 0x12345678);
  EXPECT_EQ(rd.SMsgType, 11);
  EXPECT_EQ(rd.STomcatIp, "10.1.2.3");
  EXPECT_EQ(rd.STomcatPort, 8080);
  EXPECT_EQ(rd.SExist, -1);
  EXPECT_EQ(rd.SUrl, "lumo7/");
  EXPECT_EQ(rd.SText, "测试");
}

TEST(TReplyData, ShortInputLeavesTheRecordAlone) {
  TReplyData rd;
  rd.SMsgType = -1;
  const auto d = SampleAnswer(235);
  EXPECT_FALSE(rd.FromBytes(d));
  EXPECT_EQ(rd.SMsgType, -1);
  EXPECT_EQ(rd.STomcatIp, "");
  EXPECT_FALSE(rd.FromBytes({}));
}

TEST(TReplyData, BytesAfterTheRecordAreIgnored) {
  auto d = SampleAnswer(1024);
  TReplyData rd;
  ASSERT_TRUE(rd.FromBytes(d));
  EXPECT_EQ(rd.SText, "测试");
}

TEST(TReplyData, LengthBytesBeyondTheirFieldAreClamped) {
  auto d = SampleAnswer();
  d[8] = 255;    // STomcatIp claims 255 bytes in a 15-byte field
  d[32] = 200;   // SUrl claims 200 bytes in a 100-byte field
  d[133] = 255;  // SText would run past the end of the record
  std::memset(&d[9], 'a', 15);
  TReplyData rd;
  ASSERT_TRUE(rd.FromBytes(d));
  EXPECT_EQ(rd.STomcatIp, std::string(15, 'a'));
  EXPECT_EQ(rd.STomcatPort, 8080);  // the next field is not read into the text
  EXPECT_EQ(rd.SUrl.size() > 0, true);
  EXPECT_LE(rd.SText.size(), 100u * 3);  // converted text of at most 100 GBK bytes
}

TEST(TReplyData, WritesWhatItReads) {
  TReplyData in;
  in.SMacType = -7;
  in.SMsgType = 11;
  in.SetTomcatIp("192.168.100.200");
  in.STomcatPort = 65535;
  in.SExist = 1;
  in.SetUrl("pos/");
  in.SetText("服务器,\"x\"");
  TReplyData out;
  ASSERT_TRUE(out.FromBytes(in.ToBytes()));
  EXPECT_EQ(out.ToString(), in.ToString());
}

TEST(TReplyData, TextsAreCutToTheirFieldWithoutSplittingACharacter) {
  TReplyData rd;
  rd.SetTomcatIp("0123456789abcdefghij");
  EXPECT_EQ(rd.STomcatIp, "0123456789abcde");
  // Eight two-byte characters: 16 GBK bytes do not fit 15; the last one is dropped whole.
  rd.SetTomcatIp("一二三四五六七八");
  EXPECT_EQ(rd.STomcatIp, "一二三四五六七");
  rd.SetUrl(std::string(99, 'x') + "中");
  EXPECT_EQ(rd.SUrl, std::string(99, 'x'));
}

TEST(TReplyData, LogText) {
  TReplyData rd;
  rd.SMacType = 1;
  rd.SMsgType = -1;
  rd.STomcatIp = "10.0.0.5";
  rd.STomcatPort = 8080;
  rd.SUrl = "pos/";
  rd.SText = "hello";
  EXPECT_EQ(rd.ToString(),
            "MacType:1, MsgType:-1, TomcatIp:10.0.0.5, TomcatPort:8080, Exist:0, Url:pos/, Text:hello");
}

TEST(TReplyData, FromStringReadsTheDirectionalAnswer) {
  TReplyData rd;
  rd.FromString("1,13,10.0.0.5,8080,1,pos/,hello");
  EXPECT_EQ(rd.SMacType, 1);
  EXPECT_EQ(rd.SMsgType, 13);
  EXPECT_EQ(rd.STomcatIp, "10.0.0.5");
  EXPECT_EQ(rd.STomcatPort, 8080);
  EXPECT_EQ(rd.SExist, 1);
  EXPECT_EQ(rd.SUrl, "pos/");
  EXPECT_EQ(rd.SText, "hello");
}

TEST(TReplyData, FromStringTable) {
  struct Case {
    const char* text;
    const char* ip;
    int port;
    const char* url;
    const char* textField;
  } cases[] = {
      {"  1,13,h,80,0,u,t", "h", 80, "u", "t"},                     // leading blanks skipped
      {"1 , 13 ,h , 80,0,u,t", "h", 80, "u", "t"},                 // blanks around commas
      {"1\t13\nh 80,0,u,t", "h", 80, "u", "t"},                    // control characters end fields
      {"1,13,h,80,0,\"a, b\",\"say \"\"hi\"\"\"", "h", 80, "a, b", "say \"hi\""},
      {"1,13,h,80,0,u,", "h", 80, "u", ""},                        // trailing comma: empty field
      {"1,13,,80,0,,t", "", 80, "", "t"},                          // empty fields
      {"1,13,h,-1,0,u,t", "h", 65535, "u", "t"},                   // port keeps the low 16 bits
      {"1,13,h,65616,0,u,t", "h", 80, "u", "t"},
      {"1,13,h,+80,0,u,t,extra,fields", "h", 80, "u", "t"},
      {"1,13,h,80,0,u,\"unclosed, quote", "h", 80, "u", "unclosed, quote"},
      {"1,13,h,80,0,\"q\"x,t", "h", 80, "q", "x"},                 // text right after a quote is a field
      {"1,13,一二三四五六七八,80,0,u,t", "一二三四五六七", 80, "u", "t"},  // cut to 15 GBK bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TReplyData rd;
    ASSERT_NO_THROW(rd.FromString(c.text));
    EXPECT_EQ(rd.SMsgType, 13);
    EXPECT_EQ(rd.STomcatIp, c.ip);
    EXPECT_EQ(rd.STomcatPort, c.port);
    EXPECT_EQ(rd.SUrl, c.url);
    EXPECT_EQ(rd.SText, c.textField);
  }
}

TEST(TReplyData, FromStringFailures) {
  const char* cases[] = {
      "1,13,10.0.0.5,8080,1,pos/",          // six fields
      "",
      "1,x,h,80,0,u,t",                     // not a number
      "1,13,h,80port,0,u,t",
      "1,13,h,0x50,0,u,t",                  // numbers are decimal
      "1,13,h,2147483648,0,u,t",            // beyond a 32-bit integer
      "1,13,h,99999999999999999999999,0,u,t",
      "1,13,h,-,0,u,t",
      "1,13,h,,0,u,t",
  };
  for (std::string_view text : cases) {
    SCOPED_TRACE(std::string(text));
    TReplyData rd;
    EXPECT_THROW(rd.FromString(text), EConvertError);
  }
  // A NUL ends the text: what follows it is not a field.
  TReplyData rd;
  EXPECT_THROW(rd.FromString(std::string_view("1,13,h,80,0,u\0,t", 16)), EConvertError);
}

TEST(TReplyData, FromStringKeepsWhatWasReadBeforeAFailure) {
  TReplyData rd;
  EXPECT_THROW(rd.FromString("5,13,10.0.0.5,8080,1,pos/"), EConvertError);
  EXPECT_EQ(rd.SMacType, 5);
  EXPECT_EQ(rd.SMsgType, 13);
  EXPECT_EQ(rd.SUrl, "pos/");
}

TEST(SplitCommaText, Delimiters) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommaText(""), V{});
  EXPECT_EQ(SplitCommaText("   "), V{});
  EXPECT_EQ(SplitCommaText("a,,b"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitCommaText("a, "), (V{"a"}));
  EXPECT_EQ(SplitCommaText(","), (V{"", ""}));
  EXPECT_EQ(SplitCommaText("\"\""), (V{""}));
  EXPECT_EQ(SplitCommaText("a b"), (V{"a", "b"}));
}

}  // namespace
}  // namespace zent
