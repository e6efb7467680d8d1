#include "browser/rules/LoadEndRules.h"

namespace zent {

int LoadEndStatus(const LoadEnd& end) {
  switch (end.kind) {
    case LoadEndKind::Succeeded: return 200;
    case LoadEndKind::HttpStatus: return end.httpStatus;
    case LoadEndKind::Stopped: return -3;
    case LoadEndKind::Error: return 0;
  }
  return 0;
}

void TLoadEndRules::OnStarted() {
  if (retryStarting_) {
    retryStarting_ = false;
    return;
  }
  loadErrored_ = false;
}

LoadEndActions TLoadEndRules::OnEnded(const LoadEnd& end, bool continuousFind, bool isSubMonitor) {
  LoadEndActions actions;
  retryStarting_ = false;
  if (end.crashRecoveryReloads) return actions;
  // The end of a retried load hands reconnecting back to the connection timer.
  if (loadErrored_) {
    actions.rearmTimer = continuousFind;
    loadErrored_ = false;
    return actions;
  }
  if (end.kind == LoadEndKind::Error) {
    // Only while connecting; afterwards the engine's own error page stays.
    if (continuousFind && !end.aboutBlank) {
      loadErrored_ = true;
      retryStarting_ = true;
      actions.retryLoad = true;
    }
    return actions;
  }
  actions.runFlagScript = !isSubMonitor;
  if (end.aboutBlank) return actions;
  const int status = LoadEndStatus(end);
  if (status == 200) {
    actions.connected = true;
  } else if ((status >= 300 && status <= 399) || status == 500 || status == -3) {
    // A redirect, a server-side fault on a page that did arrive, or a stop: no reconnect.
  } else {
    actions.rearmTimer = continuousFind;
  }
  return actions;
}

}  // namespace zent
