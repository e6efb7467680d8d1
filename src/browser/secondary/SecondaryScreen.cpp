#include "browser/secondary/SecondaryScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "browser/secondary/SubScreenChannel.h"
#include "common/FileLog.h"

namespace zent {
namespace {

// The secondary screen's debug request from an outside party, and its one meaningful form.
constexpr quint32 kDebugRequestMessage = 0x8490;
constexpr quint32 kDebugRequestWParam = 128;
constexpr quint32 kDebugRequestLParam = 144;

}  // namespace

SecondaryScreen::SecondaryScreen(QWidget* window, bool secondary, std::function<void()> showDebugWindow)
    : QObject(window), window_(window), secondary_(secondary), showDebugWindow_(std::move(showDebugWindow)) {}

SecondaryScreen::~SecondaryScreen() = default;

void SecondaryScreen::PlaceOnLastMonitor(bool log) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return;
  QScreen* last = screens.last();
  const QRect r = last->geometry();
  if (log) {
    AppLog().LogFmt(0, "tmrShowSubMonTimer.Screen.Left=[%d];Top=[%d];Width=[%d];Height=[%d]", r.left(), r.top(),
                    r.width(), r.height());
  }
  window_->setScreen(last);
  if (window_->geometry() != r) window_->setGeometry(r);
}

void SecondaryScreen::OpenIdentity() {
  channel_ = std::make_unique<SubScreenChannel>([this] { return window_->close(); });
  channel_->Open(kSubScreenCaption);
}

void SecondaryScreen::CloseSecondaryWindow() {
  AppLog().Log(0, "CloseSubScreen: " + CloseWindowByIdentity(kSubScreenCaption));
}

void SecondaryScreen::OnNotice(quint32 message, quint32 wParam, quint32 lParam) {
  if (message != kDebugRequestMessage) return;
  // Taken in every instance whatever its parameters; acted on only in the secondary one.
  AppLog().LogFmt(0, "DebugRequest: wParam=%u lParam=%u", wParam, lParam);
  if (secondary_ && wParam == kDebugRequestWParam && lParam == kDebugRequestLParam) showDebugWindow_();
}

}  // namespace zent
