#include "browser/dialogs/Dialogs.h"

#include "browser/dialogs/AddressDialog.h"
#include "browser/dialogs/DebugWindow.h"
#include "browser/dialogs/FloatButton.h"
#include "browser/dialogs/GlobalHotKey.h"
#include "browser/dialogs/HiddenPointer.h"
#include "browser/dialogs/TapToRestore.h"
#include "browser/dialogs/UserPrompts.h"
#include "common/FileLog.h"

namespace zent {

Dialogs::Dialogs(QWidget* window, bool mainInstance, TUserPrompts& prompts, std::function<void()> restore,
                 const TKioskOptions& kiosk)
    : window_(window), hidePointer_(kiosk.hidePointer) {
  if (kiosk.hidePointer) hiddenPointer_ = std::make_unique<HiddenPointer>(kiosk.kioskSession);
  if (!mainInstance) return;
  if (kiosk.kioskSession) {
    tapToRestore_ = std::make_unique<TapToRestore>([this] { if (tapRestore_) tapRestore_(); }, kiosk.hidePointer);
  }
  // Alt+F12 shows the debug window; without debug mode there is none and the key does nothing.
  new GlobalHotKey(window, [this] { ShowDebugWindow(); });  // owned by the window (Qt)
  floatButton_ = std::make_unique<FloatButton>();
  floatButton_->SetRestoreAction(std::move(restore));
  if (kiosk.hidePointer) floatButton_->HidePointer();
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

void Dialogs::SetTapRestoreAction(std::function<void()> restore) { tapRestore_ = std::move(restore); }

void Dialogs::ArmTapToRestore(const QRect& screen) {
  if (tapToRestore_) tapToRestore_->Arm(screen);
}

void Dialogs::DisarmTapToRestore() {
  if (tapToRestore_) tapToRestore_->Disarm();
}

bool Dialogs::TapToRestoreArmed() const { return tapToRestore_ && tapToRestore_->IsArmed(); }

bool Dialogs::AskServerAddress(const CommandLine& commandLine, std::string& host, bool& fix) {
  return ShowAddressDialog(window_, commandLine, host, fix);
}

}  // namespace zent
