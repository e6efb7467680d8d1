// The main window's caption: the application title, then the title of the page the window
// shows (the decision is rules/PageCaption). The secondary screen keeps its fixed caption and
// builds none of this.
#pragma once

#include <QObject>

#include "browser/rules/PageCaption.h"

class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWidget;

namespace zent {

class WindowCaption : public QObject {
  Q_OBJECT
 public:
  // Lives as long as the window (its child).
  WindowCaption(QWidget* window, QWebEnginePage* page);

 private:
  void OnLoadingChanged(const QWebEngineLoadingInfo& info);

  QWidget* window_;
  QWebEnginePage* page_;
  TPageCaption caption_;
};

}  // namespace zent
