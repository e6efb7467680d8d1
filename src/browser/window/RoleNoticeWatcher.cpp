#include "browser/window/RoleNoticeWatcher.h"

#include "browser/rules/ActivationRule.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "platform/Clock.h"
#include "platform/ErrorText.h"

namespace zent {

RoleNoticeWatcher::RoleNoticeWatcher(QObject* parent) : QObject(parent) {}

bool RoleNoticeWatcher::Open(const std::string& roleName) {
  if (auto ec = receiver_.Open(roleName)) {
    AppLog().Log(2, Format("激活通知套接字失败[%s]: %s", roleName.c_str(), platform::ErrorText(ec).c_str()));
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(receiver_.Readable().EventLoopSocket(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadAll(); });
  return true;
}

void RoleNoticeWatcher::ReadAll() {
  while (auto notice = receiver_.Read()) {
    if (notice->message == kActivateMessage) {
      // Marked handled whatever its parameters; only a fresh one acts.
      if (AcceptActivateNotice(notice->wParam, notice->lParam, platform::TickCount())) {
        emit activateRequested();
      }
    } else {
      emit noticeReceived(notice->message, notice->wParam, notice->lParam);
    }
  }
}

}  // namespace zent
