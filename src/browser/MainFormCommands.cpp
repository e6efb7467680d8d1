// TMainForm's page commands and its secondary-screen behaviour: the console messages read as
// commands and carried out on the window's thread, the placement over the last monitor,
// closing the secondary-screen window from the main instance, and the debug request.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWebEngineView>

#include "browser/BrowserPage.h"
#include "browser/DesktopServices.h"
#include "browser/SubScreenChannel.h"
#include "browser/TMainForm.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "platform/Shell.h"

namespace zent {
namespace {

// The secondary screen's debug request from an outside party, and its one meaningful form.
constexpr quint32 kDebugRequestMessage = 0x8490;
constexpr quint32 kDebugRequestWParam = 128;
constexpr quint32 kDebugRequestLParam = 144;

// At most this many repaints a second come from page status texts.
constexpr int kStatusPaintHoldMs = 50;

}  // namespace

void TMainForm::ConsoleMessageProcess(const std::string& message) {
  // Called for every console message of the page, thousands a second at times: noise is
  // recognised cheaply inside the parser and nothing is logged for it.
  auto command = ParseConsoleCommand(message);
  if (!command) return;
  // The status text belongs to the page that was shown when it was written.
  std::string pageAddress;
  if (command->kind == TPageCommandKind::ZentShop && FCEF) pageAddress = FCEF->url().toString().toStdString();
  // Carried out on a later turn of the window's loop, in the order the page wrote them, never
  // inside the engine's callback (closing, full screen and boxes change the window).
  QMetaObject::invokeMethod(
      this,
      [this, command = std::move(*command), pageAddress = std::move(pageAddress)] {
        try {
          RunPageCommand(command, pageAddress);
        } catch (const std::exception& e) {
          AppLog().Log("ConsoleMessageProcess: ", e);
        }
      },
      Qt::QueuedConnection);
}

void TMainForm::RunPageCommand(const TPageCommand& command, const std::string& pageAddress) {
  switch (command.kind) {
    case TPageCommandKind::FullScreen:
      SwitchFullScreen();
      break;
    case TPageCommandKind::FullScreenOn:
      FullScreenOn();
      break;
    case TPageCommandKind::FullScreenOff:
      FullScreenOff();
      break;
    case TPageCommandKind::ZentShop:
      ShowPageStatusText(command.text);
      FBottomText.Set(pageAddress, command.text);
      break;
    case TPageCommandKind::CloseBrowser:
      // Already the posted message's turn: closing here keeps it behind the commands the page
      // wrote before it and ahead of those it wrote after.
      UMCLOSEBROWSER();
      break;
    case TPageCommandKind::RefuseCloseBrowser:
      FCanCloseBrowser = false;
      break;
    case TPageCommandKind::AllowCloseBrowser:
      FCanCloseBrowser = true;
      break;
    case TPageCommandKind::OpenUrl:
      OpenUrl(command.text);
      break;
    case TPageCommandKind::PlayADParam:
      // The rectangle is in the window's client pixels.
      desktopServices_->PlayAD(command, mapToGlobal(QPoint(0, 0)));
      break;
    case TPageCommandKind::ResetDeviceMgr:
      desktopServices_->StartDeviceMgrReset();
      break;
    case TPageCommandKind::MinimizeBrowser:
      setWindowState(windowState() | Qt::WindowMinimized);
      break;
    case TPageCommandKind::LumoLogin:
      FLumo7LoginParams = command.text;
      break;
  }
}

void TMainForm::ShowPageStatusText(const std::string& text) {
  // Each repaint of the window composes the whole page view again, so a page writing status
  // texts hundreds of times a second would starve the window's loop. The label takes every
  // text at once; after one repaint, further ones wait for the hold to end, which paints the
  // latest text.
  if (!statusPaintHold_) {
    statusPaintHold_ = new QTimer(this);  // owned by the window (Qt parent)
    statusPaintHold_->setSingleShot(true);
    statusPaintHold_->setInterval(kStatusPaintHoldMs);
    connect(statusPaintHold_, &QTimer::timeout, this, [this] { Label_BottomText->setUpdatesEnabled(true); });
  }
  if (statusPaintHold_->isActive()) {
    Label_BottomText->setUpdatesEnabled(false);
  } else {
    statusPaintHold_->start();
  }
  ShowStatusText(text);
}

void TMainForm::OpenUrl(const std::string& address) {
  try {
    AppLog().Log(0, "ConsoleMessageProcess.OpenURL(" + address + ")");
    // The page's text goes to the desktop's opener as one argument, never through a shell.
    const int result = platform::ShellOpenAddress(address);
    if (result < 32) throw Exception(Format("ShellExecute.Return: %d", result));
  } catch (const std::exception& e) {
    AppLog().Log(std::string(), e);
  }
}

void TMainForm::ResetDeviceMgrNotify() {
  if (!FCEF) return;
  // The page defines the function; whatever the script does is no concern of ours.
  FCEF->runJavaScript(QStringLiteral("resetDeviceMgr();"));
}

void TMainForm::appEventMessage(quint32 message, quint32 wParam, quint32 lParam) {
  if (message != kDebugRequestMessage) return;
  // Taken in every instance whatever its parameters; acted on only in the secondary one.
  AppLog().LogFmt(0, "DebugRequest: wParam=%u lParam=%u", wParam, lParam);
  if (FIsSubMonitor && wParam == kDebugRequestWParam && lParam == kDebugRequestLParam) ShowDebugWindow();
}

void TMainForm::PlaceOnLastMonitor(bool logPlacement) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return;
  QScreen* last = screens.last();
  const QRect r = last->geometry();
  if (logPlacement) {
    AppLog().LogFmt(0, "tmrShowSubMonTimer.Screen.Left=[%d];Top=[%d];Width=[%d];Height=[%d]", r.left(), r.top(),
                    r.width(), r.height());
  }
  setScreen(last);
  if (geometry() != r) setGeometry(r);
}

void TMainForm::CloseSubScreen() {
  // Waits, like a sent message, until the secondary window has run its close query.
  AppLog().Log(0, "CloseSubScreen: " + CloseWindowByIdentity(kSubScreenCaption));
}

void TMainForm::OpenSubScreenIdentity() {
  subScreenChannel_ = std::make_unique<SubScreenChannel>([this] { return close(); });
  subScreenChannel_->Open(kSubScreenCaption);
}

}  // namespace zent
