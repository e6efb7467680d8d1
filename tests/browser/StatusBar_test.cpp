// The status bar shows what pages send as plain text: markup is never read (an image tag
// would load a local file), and the text is capped before the label or the memory of page
// texts gets it.
#include <gtest/gtest.h>

#include <QLabel>
#include <string>

#include "browser/QtText.h"
#include "browser/rules/PageText.h"
#include "browser/window/StatusBar.h"

namespace zent {
namespace {

TEST(StatusBar, PageTextsArePlainCappedText) {
  StatusBar bar(nullptr);
  auto* label = bar.findChild<QLabel*>(QStringLiteral("Label_BottomText"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);

  const std::string markup = "<img src=\"file:///etc/passwd\"><b>Table 12</b>";
  bar.ShowPageText("http://h/a", markup);
  EXPECT_EQ(FromQt(label->text()), markup);

  bar.ShowPageText("http://h/b", "line\r\n" + std::string(100000, 'x'));
  const std::string shown = FromQt(label->text());
  EXPECT_EQ(shown, PageTextForDisplay("line\r\n" + std::string(100000, 'x')));
  EXPECT_LT(shown.size(), kMaxPageTextChars * 4);

  // What is remembered is what was shown.
  bar.ShowPageText("http://h/c", "other");
  bar.ShowRememberedText("http://h/b");
  EXPECT_EQ(FromQt(label->text()), shown);

  for (auto* other : bar.findChildren<QLabel*>()) {
    if (other->pixmap().isNull()) {
      EXPECT_EQ(other->textFormat(), Qt::PlainText) << FromQt(other->objectName());
    }
  }
}

}  // namespace
}  // namespace zent
