// What the window does when a main-frame load of its page starts and ends: retrying a failed
// load while the server is still being reached, re-arming the server timer, the flag script
// and the "connected" state. Plain logic; the window applies the actions it returns.
#pragma once

namespace zent {

// How a load ended, as far as these rules care.
enum class LoadEndKind {
  Succeeded,   // the page loaded: status 200
  HttpStatus,  // the server answered with an error status (404, 500, ...)
  Stopped,     // the load was stopped or replaced: status -3
  Error,       // no answer: connection, name resolution, certificate or internal failure
};

struct LoadEnd {
  LoadEndKind kind = LoadEndKind::Succeeded;
  int httpStatus = 0;  // for HttpStatus
  bool aboutBlank = false;  // the frame's address is "about:blank"
  // The page's renderer died under the load and the crash recovery reloads the page: that
  // reload stands for this load, which these rules then leave alone.
  bool crashRecoveryReloads = false;
};

// The status code the rules see for a load end that is not an Error.
int LoadEndStatus(const LoadEnd& end);

struct LoadEndActions {
  bool retryLoad = false;      // load the failed address again
  bool rearmTimer = false;     // start the server connection timer
  bool runFlagScript = false;  // run "inLumo7Browser=true" in the main frame
  bool connected = false;      // status 200: the server page is up
};

class TLoadEndRules {
 public:
  // A navigation started. Clears the failure mark, except for the start of our own retry:
  // its end must still see the mark, or a server that is down would be retried in a tight
  // loop instead of at the connection timer's pace.
  void OnStarted();
  // A navigation ended. `continuousFind`: the server is still being reached.
  LoadEndActions OnEnded(const LoadEnd& end, bool continuousFind, bool isSubMonitor);

  bool LoadErrored() const { return loadErrored_; }

 private:
  bool loadErrored_ = false;
  bool retryStarting_ = false;
};

}  // namespace zent
