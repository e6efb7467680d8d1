// The request interceptor's address rewrite, which needs the toolkit's address class.
#include <gtest/gtest.h>

#include <QUrl>

#include "browser/engine/RequestInterceptor.h"

namespace zent {
namespace {

TEST(RequestInterceptor, HomeTargetKeepsPathAndQuery) {
  EXPECT_EQ(HomeRedirectTarget(QUrl("http://home/")).toString(), "https://www.example.com/");
  EXPECT_EQ(HomeRedirectTarget(QUrl("http://home")).toString(), "https://www.example.com/");
  EXPECT_EQ(HomeRedirectTarget(QUrl("http://home:8080/a/b.html?x=1&y=%20")).toString(QUrl::FullyEncoded),
            "https://www.example.com/a/b.html?x=1&y=%20");
}

}  // namespace
}  // namespace zent
