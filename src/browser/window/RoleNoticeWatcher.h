// The window's side of the notices sent to this role's processes: watches the receiving
// socket on the event loop and reports each notice on the window's thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "platform/RoleNotice.h"

namespace zent {

class RoleNoticeWatcher : public QObject {
  Q_OBJECT
 public:
  explicit RoleNoticeWatcher(QObject* parent = nullptr);
  // Binds this process's socket in the role's folder; false (and a logged error) on failure,
  // after which this process simply cannot be activated by a second start.
  bool Open(const std::string& roleName);

 signals:
  // An activation notice that is fresh enough to act on.
  void activateRequested();
  // Any other notice (message number and parameters).
  void noticeReceived(quint32 message, quint32 wParam, quint32 lParam);

 private:
  void ReadAll();

  platform::RoleNoticeReceiver receiver_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace zent
