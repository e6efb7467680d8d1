#include "browser/engine/CrashRecovery.h"

#include <QTimer>

#include "browser/QtText.h"
#include "browser/engine/BrowserEngine.h"
#include "browser/engine/BrowserPage.h"
#include "common/FileLog.h"
#include "connection/ServerConnection.h"

namespace zent {

CrashRecovery::CrashRecovery(BrowserEngine& engine, ServerConnection& connection, QObject* parent)
    : QObject(parent), engine_(engine), connection_(connection) {
  connect(engine_.Page(), &QWebEnginePage::renderProcessTerminated, this, &CrashRecovery::OnRenderProcessTerminated);
  connect(engine_.Page(), &QWebEnginePage::loadStarted, this, [this] { policy_.OnLoadStarted(); });
}

void CrashRecovery::OnRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
  if (status == QWebEnginePage::NormalTerminationStatus) return;
  if (policy_.ReloadPlanned()) {
    AppLog().LogFmt(2, "RendererTerminated: status=%d exitCode=%d (reload already pending)",
                    static_cast<int>(status), exitCode);
    return;
  }
  const auto delay = policy_.OnCrash(TRendererCrashPolicy::Clock::now());
  AppLog().LogFmt(2, "RendererTerminated: status=%d exitCode=%d reloadIn=%lldms url=%s", static_cast<int>(status),
                  exitCode, static_cast<long long>(delay.count()), engine_.CurrentAddress().c_str());
  // A coarse timer may fire up to 5% early, which would let a fourth reload into the minute.
  QTimer::singleShot(delay, Qt::PreciseTimer, this, &CrashRecovery::ReloadAfterCrash);
}

void CrashRecovery::ReloadAfterCrash() {
  if (!policy_.TakePlannedReload()) {
    AppLog().Log(0, "RendererTerminated: a load started since, no reload of our own");
    return;
  }
  const QUrl current = engine_.Page()->url();
  // The page the server was showing, else the start page.
  const std::string& host = connection_.Steps().Uri().host;
  if (current.isValid() && !host.empty() && FromQt(current.host()) == host) {
    engine_.Load(current);
  } else {
    connection_.OpenServerPage();
  }
}

}  // namespace zent
