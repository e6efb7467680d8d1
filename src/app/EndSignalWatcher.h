// Ends the program the ordinary way when the system or an operator asks it to end (SIGTERM,
// SIGINT, SIGHUP): the request arrives on the window's event loop and closes the main window
// through its close path, so the disconnect notice, the end of the event loop and every
// module's clean-up (the log's end banner included) run as after a close by the operator.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/Handle.h"

namespace zent {

class MainWindow;

// No signals of its own, so no meta-object: the notifier calls OnRequest directly.
class EndSignalWatcher : public QObject {
 public:
  // Catches the requests from now on; a failure is logged and leaves the system's default
  // (the process ends at once).
  EndSignalWatcher();

  // Requests taken before this call wait on the pipe and close `form` once the loop runs.
  void CloseOnRequest(MainWindow* form);

 private:
  void OnRequest();

  MainWindow* form_ = nullptr;
  platform::ReadableHandle pending_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace zent
