#include "browser/window/CloseSequence.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWidget>

#include "browser/dialogs/UserPrompts.h"
#include "connection/ServerConnection.h"
#include "lang/Translate.h"

namespace zent {
namespace {

constexpr const char* kCloseRefusedText = "当前正在进行业务处理，不允许退出。";

}  // namespace

CloseSequence::CloseSequence(QWidget* window, TUserPrompts& prompts, ServerConnection& connection, std::string osid,
                             bool noticeOnClose, Hooks hooks)
    : QObject(window),
      window_(window),
      prompts_(prompts),
      connection_(connection),
      osid_(std::move(osid)),
      noticeOnClose_(noticeOnClose),
      hooks_(std::move(hooks)) {}

void CloseSequence::OnCloseEvent(QCloseEvent* event) {
  if (stage_ == Stage::Done) {
    event->accept();
    return;
  }
  // Already closing: the window goes once the disconnect notice is done.
  if (stage_ == Stage::Notice || !CloseQuery()) {
    event->ignore();
    return;
  }
  if (hooks_.closing) hooks_.closing();
  if (!noticeOnClose_) {
    event->accept();
    return;
  }
  BeginNotice();
  event->ignore();
}

bool CloseSequence::CloseQuery() {
  if (canClose_) return true;
  prompts_.ShowInfo(Translate("提示"), Translate(kCloseRefusedText));
  return false;
}

void CloseSequence::BeginNotice() {
  stage_ = Stage::Notice;
  window_->hide();
  if (hooks_.hidden) hooks_.hidden();
  connection_.Disconnect(osid_, loginParams_, [this] {
    // The connection's worker: the secondary screen's close is waited for here too.
    if (hooks_.closeSubScreen) hooks_.closeSubScreen();
    QMetaObject::invokeMethod(this, &CloseSequence::Finish, Qt::QueuedConnection);
  });
}

void CloseSequence::Finish() {
  stage_ = Stage::Done;
  window_->close();
  // Closing a window that is already hidden does not end the loop by itself.
  QCoreApplication::quit();
}

}  // namespace zent
