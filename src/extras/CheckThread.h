// TCheckThread: the floating button's watcher. A tap that does not complete a burst signals
// it (Restart); it then clears the tap counter once the burst's window has passed. The thread
// starts in the constructor and is stopped, woken and joined in the destructor.
#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "extras/TapCounter.h"

namespace zent {

class TCheckThread {
 public:
  explicit TCheckThread(TTapCounter& counter);
  ~TCheckThread();
  TCheckThread(const TCheckThread&) = delete;
  TCheckThread& operator=(const TCheckThread&) = delete;

  // Signals the event; several signals before the thread wakes count as one.
  void Restart();

 private:
  void Execute(std::stop_token stop);

  TTapCounter& counter_;
  std::mutex eventLock_;
  std::condition_variable_any eventChanged_;
  bool FEvent = false;  // auto-reset: the thread clears it when it wakes
  std::jthread thread_;  // last: starts once everything above exists
};

}  // namespace zent
