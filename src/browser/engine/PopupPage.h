// The throw-away page the engine gets when the page opens a new window. Its first navigation
// is handed to the main page instead and the throw-away page goes, so no second window
// ever appears.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace zent {

class PopupPage : public QWebEnginePage {
  Q_OBJECT
 public:
  PopupPage(QWebEngineProfile* profile, QObject* parent);

 signals:
  void targetRequested(const QUrl& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

 private:
  bool done_ = false;
};

}  // namespace zent
