#include "browser/dialogs/Dialogs.h"

#include "browser/dialogs/AddressDialog.h"
#include "browser/dialogs/DebugWindow.h"
#include "browser/dialogs/FloatButton.h"
#include "browser/dialogs/GlobalHotKey.h"
#include "browser/dialogs/UserPrompts.h"
#include "common/FileLog.h"

namespace zent {

Dialogs::Dialogs(QWidget* window, bool mainInstance, TUserPrompts& prompts, std::function<void()> restore)
    : window_(window) {
  if (!mainInstance) return;
  // Alt+F12 shows the debug window; without debug mode there is none and the key does nothing.
  new GlobalHotKey(window, [this] { ShowDebugWindow(); });  // owned by the window (Qt)
  floatButton_ = std::make_unique<FloatButton>();
  floatButton_->SetRestoreAction(std::move(restore));
  floatButton_->SetNoticeBox(
      [&prompts](const std::string& caption, const std::string& text) { prompts.ShowInfo(caption, text); });
}

Dialogs::~Dialogs() = default;

void Dialogs::CreateDebugWindow(QWebEnginePage* page, bool debugMode) {
  if (!page || !debugMode || debugWindow_) return;
  debugWindow_ = std::make_unique<DebugWindow>(page);
  AppLog().Log(0, "Debug window created");
}

void Dialogs::ShowDebugWindow() {
  if (!debugWindow_) return;
  debugWindow_->show();
  debugWindow_->raise();
  debugWindow_->activateWindow();
}

void Dialogs::PlaceFloatButton(const QPoint& browserOrigin) {
  if (floatButton_) floatButton_->PlaceAt(browserOrigin);
}

void Dialogs::ShowFloatButton() {
  if (floatButton_ && !floatButton_->IsVisible()) floatButton_->Show();
}

void Dialogs::HideFloatButton() {
  if (floatButton_ && floatButton_->IsVisible()) floatButton_->Hide();
}

bool Dialogs::AskServerAddress(const CommandLine& commandLine, std::string& host, bool& fix) {
  return ShowAddressDialog(window_, commandLine, host, fix);
}

}  // namespace zent
