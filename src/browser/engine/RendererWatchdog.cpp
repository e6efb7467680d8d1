#include "browser/engine/RendererWatchdog.h"

#include <QPointer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include "browser/QtText.h"
#include "browser/engine/BrowserPage.h"
#include "common/FileLog.h"
#include "platform/Process.h"

namespace zent {

RendererWatchdog::RendererWatchdog(BrowserPage& page, std::function<bool()> paused, QObject* parent)
    : QObject(parent), page_(page), paused_(std::move(paused)) {
  connect(&page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) rule_.OnNavigation();
  });
  connect(&page_, &QWebEnginePage::renderProcessTerminated, this, [this] { rule_.OnRendererGone(); });
  connect(&page_, &QWebEnginePage::renderProcessPidChanged, this, [this] { rule_.OnRendererGone(); });
  connect(&timer_, &QTimer::timeout, this, &RendererWatchdog::OnTick);
  timer_.start(TRendererHangRule::kTick);
}

void RendererWatchdog::OnTick() {
  if (paused_ && paused_()) return;
  const TRendererHangRule::TPage state{page_.renderProcessPid() > 0, page_.IsDialogOpen(), page_.IsLoading()};
  switch (rule_.OnTick(TRendererHangRule::Clock::now(), state)) {
    case TRendererHangRule::TAction::Wait: break;
    case TRendererHangRule::TAction::Probe: Probe(); break;
    case TRendererHangRule::TAction::EndRenderer: EndRenderer(); break;
  }
}

void RendererWatchdog::Probe() {
  // The application's own world: the page's scripts can neither see nor replace the probe.
  // Only a real result counts; the engine answers with nothing for a frame that went away.
  page_.runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld,
                      [self = QPointer<RendererWatchdog>(this)](const QVariant& result) {
                        if (self && result.isValid()) self->rule_.OnAnswer();
                      });
}

void RendererWatchdog::EndRenderer() {
  const qint64 pid = page_.renderProcessPid();
  const auto waited = rule_.Unanswered(TRendererHangRule::Clock::now());
  AppLog().LogFmt(1, "Renderer not answering for %lld ms, ended: pid=%lld url=%s",
                  static_cast<long long>(waited.count()), static_cast<long long>(pid),
                  FromQt(page_.url().toString().left(256)).c_str());
  if (pid <= 1 || pid == static_cast<qint64>(platform::CurrentProcessId())) return;
  // A signal, never a wait: the engine reports the end (renderProcessTerminated) and the
  // crash recovery reloads the page.
  if (!platform::TerminateProcess(static_cast<uint32_t>(pid)))
    AppLog().LogFmt(1, "Renderer %lld could not be ended", static_cast<long long>(pid));
}

}  // namespace zent
