// The window's page: the engine policy of the kiosk. Certificate errors are accepted,
// console messages go to a hook (the page command channel), new windows load in this page,
// a file dialog first stops a running load, script dialogs are limited per page load
// (rules/PageDialogRule.h; a suppressed one counts as dismissed), and main-frame navigations
// to web hosts outside the run options' list are refused (rules/AllowedHosts.h). Whether a
// script dialog is open is told, since the renderer stands still until it is answered.
#pragma once

#include <QPointer>
#include <QWebEnginePage>
#include <functional>
#include <string>

#include "browser/rules/AllowedHosts.h"
#include "browser/rules/PageDialogRule.h"

namespace zent {

class PopupPage;

class BrowserPage : public QWebEnginePage {
  Q_OBJECT
 public:
  // Gets every console message of every frame and level. Pages may write thousands a
  // second: the hook must be cheap and must not log each one.
  using ConsoleHook = std::function<void(const std::string& message)>;

  BrowserPage(QWebEngineProfile* profile, QObject* parent);
  void SetConsoleHook(ConsoleHook hook) { consoleHook_ = std::move(hook); }
  bool IsLoading() const { return loading_; }
  bool IsDialogOpen() const { return openDialogs_ > 0; }
  void SetAllowedHosts(TAllowedHosts hosts) { allowedHosts_ = std::move(hosts); }
  // The server's host, always allowed; empty while none is known.
  void SetServerHost(const std::string& host) { serverHost_ = host; }

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                        QString* result) override;

 private:
  ConsoleHook consoleHook_;
  QPointer<PopupPage> pendingPopup_;
  bool loading_ = false;
  int openDialogs_ = 0;  // script dialogs shown now (a dialog's loop may show another page's)
  TPageDialogGate dialogGate_;
  TAllowedHosts allowedHosts_;
  std::string serverHost_;
  QString lastRefusedHost_;  // a page retrying one refused host logs it once

  bool DialogAllowed(const QUrl& securityOrigin);
  void DialogAnswered();
  struct OpenDialog;
};

}  // namespace zent
