// The window's status bar: the configuration and debug images, the page's status text, the
// server in use and the program's version. The status texts the pages leave for themselves
// are kept here per page address and shown again when that page loads anew. Page texts may
// come hundreds of times a second: the bar repaints for them at most every 50 ms.
#pragma once

#include <QFrame>
#include <string>

#include "browser/rules/BottomTexts.h"

class QLabel;
class QTimer;

namespace zent {

class StatusBar : public QFrame {
  Q_OBJECT
 public:
  explicit StatusBar(QWidget* parent);

  // A page's status text (as plain text, capped: rules/PageText.h), remembered for
  // `pageAddress` and shown at once.
  void ShowPageText(const std::string& pageAddress, const std::string& text);
  // The text remembered for the page now shown, if any.
  void ShowRememberedText(const std::string& pageAddress);
  void ForgetPageTexts() { pageTexts_.Clear(); }
  void ShowServer(const std::string& text);
  // A new server is being reached: the page and server texts go.
  void ClearTexts();
  void SetDebugImageVisible(bool visible);

 signals:
  void configClicked();
  void debugClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildImages();
  void ShowText(const std::string& text);

  QLabel* configImage_ = nullptr;
  QLabel* debugImage_ = nullptr;
  QLabel* pageText_ = nullptr;
  QLabel* serverText_ = nullptr;
  QLabel* versionLabel_ = nullptr;
  QTimer* paintHold_ = nullptr;  // page status texts: repaints held back while it runs
  TBottomTexts pageTexts_;
};

}  // namespace zent
