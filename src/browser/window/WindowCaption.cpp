#include "browser/window/WindowCaption.h"

#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWidget>

#include "browser/QtText.h"
#include "browser/engine/PageLoadWatch.h"
#include "browser/rules/AppTitle.h"

namespace zent {

WindowCaption::WindowCaption(QWidget* window, QWebEnginePage* page)
    : QObject(window), window_(window), page_(page) {
  connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
    if (const auto caption = caption_.OnTitle(FromQt(title))) window_->setWindowTitle(ToQt(*caption));
  });
  connect(page_, &QWebEnginePage::loadingChanged, this, &WindowCaption::OnLoadingChanged);
}

void WindowCaption::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
  const auto caption = caption_.OnLoadEnded(LoadEndOf(info).kind, FromQt(page_->title()), ApplicationTitle());
  if (caption) window_->setWindowTitle(ToQt(*caption));
}

}  // namespace zent
