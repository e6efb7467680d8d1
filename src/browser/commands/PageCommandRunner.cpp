#include "browser/commands/PageCommandRunner.h"

#include "browser/QtText.h"
#include "browser/commands/DesktopServices.h"
#include "browser/commands/PageCommandTarget.h"
#include "browser/engine/BrowserPage.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "platform/Shell.h"

namespace zent {

PageCommandRunner::PageCommandRunner(BrowserPage* page, PageCommandTarget& target, TDesktopServices& services,
                                     QObject* parent)
    : QObject(parent), page_(page), target_(target), services_(services) {
  page_->SetConsoleHook([this](const std::string& message) { OnConsoleMessage(message); });
}

void PageCommandRunner::OnConsoleMessage(const std::string& message) {
  // Called for every console message of the page, thousands a second at times: noise is
  // recognised cheaply inside the parser and nothing is logged for it.
  auto command = ParseConsoleCommand(message);
  if (!command) return;
  // The status text belongs to the page that was shown when it was written.
  std::string pageAddress;
  if (command->kind == TPageCommandKind::ZentShop) pageAddress = FromQt(page_->url().toString());
  // Closing, full screen and boxes change the window: not inside the engine's callback.
  QMetaObject::invokeMethod(
      this,
      [this, command = std::move(*command), pageAddress = std::move(pageAddress)] {
        try {
          Run(command, pageAddress);
        } catch (const std::exception& e) {
          AppLog().Log("ConsoleMessageProcess: ", e);
        }
      },
      Qt::QueuedConnection);
}

void PageCommandRunner::Run(const TPageCommand& command, const std::string& pageAddress) {
  switch (command.kind) {
    case TPageCommandKind::FullScreen: return target_.SwitchFullScreen();
    case TPageCommandKind::FullScreenOn: return target_.FullScreenOn();
    case TPageCommandKind::FullScreenOff: return target_.FullScreenOff();
    case TPageCommandKind::ZentShop: return target_.ShowPageText(pageAddress, command.text);
    // Already the queued call's turn: closing here keeps it behind the commands the page
    // wrote before it and ahead of those it wrote after.
    case TPageCommandKind::CloseBrowser: return target_.CloseWindow();
    case TPageCommandKind::RefuseCloseBrowser: return target_.SetCanClose(false);
    case TPageCommandKind::AllowCloseBrowser: return target_.SetCanClose(true);
    case TPageCommandKind::OpenUrl: return OpenUrl(command.text);
    // The rectangle is in the window's client pixels.
    case TPageCommandKind::PlayADParam: return services_.PlayAD(command, target_.ClientOrigin());
    case TPageCommandKind::ResetDeviceMgr: return services_.StartDeviceMgrReset();
    case TPageCommandKind::MinimizeBrowser: return target_.Minimize();
    case TPageCommandKind::LumoLogin: return target_.SetLoginParams(command.text);
  }
}

void PageCommandRunner::OpenUrl(const std::string& address) {
  try {
    // A page writing the command in a loop must not start an opener per message.
    switch (openerGate_.OnRequest(TOpenerGate::Clock::now())) {
      case TOpenerGate::TVerdict::Start: break;
      case TOpenerGate::TVerdict::DropFirst:
        AppLog().Log(1, "ConsoleMessageProcess.OpenURL: more than one address a second, the rest dropped");
        return;
      case TOpenerGate::TVerdict::Drop: return;
    }
    AppLog().Log(0, "ConsoleMessageProcess.OpenURL(" + OpenUrlForLog(address) + ")");
    // Only web addresses: a file, a share or an option-like text never reaches the opener.
    if (const auto refusal = OpenUrlRefusal(address)) {
      AppLog().Log(1, "ConsoleMessageProcess.OpenURL refused: " + *refusal);
      return;
    }
    // The page's text goes to the desktop's opener as one argument, never through a shell.
    const int result = platform::ShellOpenAddress(address);
    if (result < 32) throw Exception(Format("ShellExecute.Return: %d", result));
  } catch (const std::exception& e) {
    AppLog().Log(std::string(), e);
  }
}

}  // namespace zent
