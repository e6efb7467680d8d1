// The secondary screen (the customer display) as the window sees it: the window placed over
// the last monitor, the identity it is found by from the main instance (whose close it then
// runs), the main instance's call that closes it, and the debug request an outside party
// sends to it.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace zent {

class SubScreenChannel;

inline constexpr const char* kSubScreenCaption = "Lumo7Browser:{276E2177-7A03-4C90-9DE8-CD662DC7250E}";

class SecondaryScreen : public QObject {
  Q_OBJECT
 public:
  SecondaryScreen(QWidget* window, bool secondary, std::function<void()> showDebugWindow);
  ~SecondaryScreen() override;

  // Puts the window fully over the last monitor; `log`: the placement goes to the log.
  void PlaceOnLastMonitor(bool log = true);
  // Serves the identity caption; a close request runs the window's close.
  void OpenIdentity();
  // Main instance: asks the secondary window to close and waits until it has handled that.
  // Runs on any thread.
  static void CloseSecondaryWindow();
  // A notice to this role that is not an activation (the debug request 0x8490).
  void OnNotice(quint32 message, quint32 wParam, quint32 lParam);

 private:
  QWidget* window_;
  bool secondary_;
  std::function<void()> showDebugWindow_;
  std::unique_ptr<SubScreenChannel> channel_;
};

}  // namespace zent
