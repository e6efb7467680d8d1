// The secondary-screen window's identity between processes. The secondary instance serves
// its identity caption so the main instance can close it and wait until its close query
// (the refusal box included) has run; the main instance's side makes that call.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowChannel.h"

namespace zent {

// The window message the main instance sends: the counterpart of WM_CLOSE.
inline constexpr uint32_t kCloseRequest = 0x0010;

class SubScreenChannel : public QObject {
  Q_OBJECT
 public:
  // Runs the window's close and tells whether the window closed.
  using CloseHandler = std::function<bool()>;

  SubScreenChannel(CloseHandler onClose, QObject* parent = nullptr);
  ~SubScreenChannel() override;
  // Serves `identity`; false (and a logged error) when it cannot, after which the main
  // instance simply does not find this window.
  bool Open(const std::string& identity);

 private:
  struct Caller;
  void AcceptAll();
  void ReadCaller(Caller* caller);
  void Drop(Caller* caller);

  CloseHandler onClose_;
  platform::WindowChannelServer server_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::vector<std::unique_ptr<Caller>> callers_;
  bool closing_ = false;
};

// The main instance's side: asks the window serving `identity` to close and waits until it
// has handled the request. Returns what happened, for the log.
std::string CloseWindowByIdentity(const std::string& identity);

}  // namespace zent
