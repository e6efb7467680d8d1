#include "browser/engine/PageLoadWatch.h"

#include <QWebEngineLoadingInfo>

#include "browser/QtText.h"
#include "browser/engine/BrowserEngine.h"
#include "browser/engine/BrowserPage.h"
#include "common/FileLog.h"
#include "connection/ServerConnection.h"

namespace zent {

LoadEnd LoadEndOf(const QWebEngineLoadingInfo& info) {
  LoadEnd end;
  end.aboutBlank = info.url() == QUrl(QStringLiteral("about:blank"));
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      end.kind = LoadEndKind::Succeeded;
      break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      end.kind = LoadEndKind::Stopped;
      break;
    default:
      // An error status page arrives as a failure in the HTTP status domain; everything
      // else (connection, name resolution, certificate, internal) is a load error.
      if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        end.kind = LoadEndKind::HttpStatus;
        end.httpStatus = info.errorCode();
      } else {
        end.kind = LoadEndKind::Error;
      }
      break;
  }
  return end;
}

namespace {

void LogLoadEnd(const QWebEngineLoadingInfo& info, const LoadEnd& end) {
  const std::string url = FromQt(info.url().toString());
  if (end.kind == LoadEndKind::Error) {
    AppLog().LogFmt(2, "LoadError: %d %s %s", info.errorCode(), FromQt(info.errorString()).c_str(),
                    url.c_str());
  } else {
    AppLog().LogFmt(0, "LoadEnd: %d %s", LoadEndStatus(end), url.c_str());
  }
}

}  // namespace

PageLoadWatch::PageLoadWatch(BrowserEngine& engine, ServerConnection& connection, bool secondary,
                             std::function<void()> onConnected, std::function<bool()> crashReloadPlanned,
                             QObject* parent)
    : QObject(parent),
      engine_(engine),
      connection_(connection),
      secondary_(secondary),
      onConnected_(std::move(onConnected)),
      crashReloadPlanned_(std::move(crashReloadPlanned)) {
  connect(engine_.Page(), &QWebEnginePage::loadingChanged, this, &PageLoadWatch::OnLoadingChanged);
}

void PageLoadWatch::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    rules_.OnStarted();
    return;
  }
  LoadEnd end = LoadEndOf(info);
  end.crashRecoveryReloads = crashReloadPlanned_();
  LogLoadEnd(info, end);
  const LoadEndActions actions = rules_.OnEnded(end, connection_.Steps().ContinuousFind(), secondary_);
  if (actions.retryLoad) {
    const QUrl failed = info.url();
    QMetaObject::invokeMethod(this, [this, failed] { engine_.Load(failed); }, Qt::QueuedConnection);
  }
  if (actions.rearmTimer) connection_.PageFailed();
  if (actions.runFlagScript) engine_.Page()->runJavaScript(QStringLiteral("inLumo7Browser=true"));
  if (actions.connected && onConnected_) onConnected_();
}

}  // namespace zent
