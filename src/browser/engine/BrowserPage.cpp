#include "browser/engine/BrowserPage.h"

#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>

#include "browser/QtText.h"
#include "browser/engine/PopupPage.h"
#include "common/FileLog.h"

namespace zent {

// Counts a dialog as open while the engine's dialog runs.
struct BrowserPage::OpenDialog {
  explicit OpenDialog(BrowserPage& page) : page_(page) { ++page_.openDialogs_; }
  ~OpenDialog() { --page_.openDialogs_; }
  OpenDialog(const OpenDialog&) = delete;
  OpenDialog& operator=(const OpenDialog&) = delete;
  BrowserPage& page_;
};

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  connect(this, &QWebEnginePage::certificateError, this,
          [](QWebEngineCertificateError error) { error.acceptCertificate(); });
  connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    loading_ = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
    if (loading_) dialogGate_.OnNewPageLoad();
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

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  // Pop-ups arrive here too: their target is loaded in this page.
  const QString scheme = url.scheme();
  if (isMainFrame && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
    const QString host = url.host();
    if (!allowedHosts_.Allows(FromQt(host), serverHost_)) {
      if (host != lastRefusedHost_) {
        lastRefusedHost_ = host;
        AppLog().Log(1, "Navigation refused, host not in [Kiosk] AllowedHosts: " + FromQt(host.left(256)));
      }
      return false;
    }
  }
  return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes) {
  if (loading_) triggerAction(QWebEnginePage::Stop);
  return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

bool BrowserPage::DialogAllowed(const QUrl& securityOrigin) {
  switch (dialogGate_.OnDialog(TPageDialogGate::Clock::now())) {
    case TPageDialogGate::TVerdict::Allow: return true;
    case TPageDialogGate::TVerdict::SuppressFirst:
      AppLog().Log(1, "Page dialogs suppressed until the next page load: more than " +
                          std::to_string(TPageDialogGate::kAllowedDialogs) + " within " +
                          std::to_string(TPageDialogGate::kWindow.count()) + " s from " +
                          FromQt(securityOrigin.toString().left(256)));
      return false;
    case TPageDialogGate::TVerdict::Suppress: return false;
  }
  return false;
}

void BrowserPage::DialogAnswered() { dialogGate_.OnDialogAnswered(TPageDialogGate::Clock::now()); }

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg) {
  if (!DialogAllowed(securityOrigin)) return;
  {
    OpenDialog open(*this);
    QWebEnginePage::javaScriptAlert(securityOrigin, msg);
  }
  DialogAnswered();
}

bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) {
  if (!DialogAllowed(securityOrigin)) return false;
  bool answer = false;
  {
    OpenDialog open(*this);
    answer = QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
  }
  DialogAnswered();
  return answer;
}

bool BrowserPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                                   QString* result) {
  if (!DialogAllowed(securityOrigin)) return false;
  bool answer = false;
  {
    OpenDialog open(*this);
    answer = QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
  }
  DialogAnswered();
  return answer;
}

}  // namespace zent
