#include "browser/engine/PopupPage.h"

namespace zent {

PopupPage::PopupPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

bool PopupPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
  if (!done_ && isMainFrame) {
    done_ = true;
    emit targetRequested(url);
    deleteLater();
  }
  return false;
}

}  // namespace zent
