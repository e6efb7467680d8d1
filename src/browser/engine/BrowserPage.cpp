#include "browser/engine/BrowserPage.h"

#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>

#include "browser/QtText.h"
#include "browser/engine/PopupPage.h"

namespace zent {

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  connect(this, &QWebEnginePage::certificateError, this,
          [](QWebEngineCertificateError error) { error.acceptCertificate(); });
  connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    loading_ = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
  });
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                           const QString&) {
  if (!consoleHook_) return;
  // The engine must never see a failure of the command channel.
  try {
    consoleHook_(FromQt(message));
  } catch (...) {
  }
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType) {
  // One catcher at a time: a page opening windows in a loop cannot pile up pages.
  if (pendingPopup_) pendingPopup_->deleteLater();
  auto* popup = new PopupPage(profile(), this);  // owned by this page (Qt parent)
  // Queued: the engine is inside its navigation callback when the target arrives.
  connect(popup, &PopupPage::targetRequested, this, [this](const QUrl& url) { load(url); },
          Qt::QueuedConnection);
  pendingPopup_ = popup;
  return popup;
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes) {
  if (loading_) triggerAction(QWebEnginePage::Stop);
  return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

}  // namespace zent
