#include "update/UpdateAnswers.h"

#include <gtest/gtest.h>

#include "common/Errors.h"

namespace zent {
namespace {

TEST(UpdateAnswers, RequestBodies) {
  EXPECT_EQ(MainCheckRequestBody("7.0.0.1"),
            "\xEF\xBB\xBF{\n  \"type\": \"BrowserV2\",\n  \"version\": \"7.0.0.1\"\n}");
  EXPECT_EQ(FallbackRequestBody("7.0.0", "6.1"), R"({"curVer":"7.0.0","systemVer":"6.1"})");
}

struct MainCase {
  const char* text;
  const char* error;  // nullptr: parses
  const char* url;
  const char* md5;
};

TEST(UpdateAnswers, MainCheckAnswer) {
  const MainCase cases[] = {
      {R"({"success":true,"DownloadUrl":"/f/s.exe","md5":"ab"})", nullptr, "/f/s.exe", "ab"},
      {"\xEF\xBB\xBF{\"success\":true}", nullptr, "", ""},
      {R"({"success":true,"DownloadUrl":null,"md5":null})", nullptr, "", ""},
      {R"({"success":false,"msg":"版本已是最新"})", "版本已是最新", "", ""},
      {R"({"success":false})", "??", "", ""},
      {R"({"msg":"no success member"})", "no success member", "", ""},
      {R"({"success":"true","msg":7})", "7", "", ""},
      {R"({"success":true,"DownloadUrl":5,"md5":"a"})", "DownloadUrl不是文本", "", ""},
      {R"({"success":true,"DownloadUrl":"/x","md5":["a"]})", "md5不是文本", "", ""},
      {"[1,2]", "应答不是JSON对象", "", ""},
      {"<html>502</html>", "应答不是有效的JSON", "", ""},
      {"", "应答不是有效的JSON", "", ""},
      {R"({"success":true,"DownloadUrl":"/x")", "应答不是有效的JSON", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.error) {
      try {
        ParseMainCheckAnswer(c.text);
        ADD_FAILURE() << "no failure";
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), c.error);
      }
    } else {
      const TMainCheckAnswer a = ParseMainCheckAnswer(c.text);
      EXPECT_EQ(a.DownloadUrl, c.url);
      EXPECT_EQ(a.md5, c.md5);
    }
  }
}

TEST(UpdateAnswers, FallbackAnswer) {
  EXPECT_EQ(ParseFallbackAnswer(R"({"doesNeedUpdate":true,"fileName":"s.exe"})"), "s.exe");
  EXPECT_EQ(ParseFallbackAnswer(R"({"doesNeedUpdate":false,"fileName":"s.exe"})"), "");
  EXPECT_EQ(ParseFallbackAnswer(R"({"fileName":"s.exe"})"), "");
  EXPECT_EQ(ParseFallbackAnswer(R"({"doesNeedUpdate":1,"fileName":"s.exe"})"), "");
  EXPECT_EQ(ParseFallbackAnswer(R"({"doesNeedUpdate":true})"), "");
  EXPECT_THROW(ParseFallbackAnswer(R"({"doesNeedUpdate":true,"fileName":{}})"), Exception);
  EXPECT_THROW(ParseFallbackAnswer("null"), Exception);
  EXPECT_THROW(ParseFallbackAnswer(std::string(100000, '[')), Exception);
}

}  // namespace
}  // namespace zent
