#include "app/EndSignalWatcher.h"

#include <QApplication>
#include <QWidget>

#include "browser/window/CloseSequence.h"
#include "browser/window/MainWindow.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "platform/EndSignals.h"
#include "platform/ErrorText.h"

namespace zent {

EndSignalWatcher::EndSignalWatcher() {
  if (auto ec = platform::CatchEndSignals(pending_)) {
    AppLog().Log(2, Format("End signals: %s", platform::ErrorText(ec).c_str()));
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(pending_.EventLoopSocket(), QSocketNotifier::Read);
  notifier_->setEnabled(false);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &EndSignalWatcher::OnRequest);
}

void EndSignalWatcher::CloseOnRequest(MainWindow* form) {
  form_ = form;
  if (notifier_) notifier_->setEnabled(true);
}

void EndSignalWatcher::OnRequest() {
  const int signalNumber = platform::TakeEndSignal(pending_);
  if (signalNumber == 0 || !form_) return;
  notifier_->setEnabled(false);  // one close; a second request ends the process at once
  char buffer[24];
  AppLog().LogFmt(0, "%s received: the program ends", platform::EndSignalName(signalNumber, buffer));
  // The system is going down (or an operator ends the program on purpose): a close lock the
  // page set cannot keep the program alive, so it is lifted, and said so in the log.
  if (!form_->Closing().CanClose()) {
    AppLog().Log(0, "The page refused closing; the program ends anyway");
    form_->Closing().SetCanClose(true);
  }
  // A dialog's own loop would hold the end until someone answers it.
  for (int i = 0; i < 8; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->close()) break;
  }
  // A window that finishes its close later (it waits for the disconnect notice) says "not yet";
  // it ends on its own then, and a second request would end the process at once.
  if (!form_->close()) AppLog().Log(0, "The window ends once its closing is done");
}

}  // namespace zent
