#include "extras/CheckThread.h"

namespace zent {

TCheckThread::TCheckThread(TTapCounter& counter)
    : counter_(counter), thread_([this](std::stop_token stop) { Execute(stop); }) {}

TCheckThread::~TCheckThread() {
  thread_.request_stop();  // the waits below take the stop token and wake at once
  if (thread_.joinable()) thread_.join();
}

void TCheckThread::Restart() {
  {
    std::lock_guard lock(eventLock_);
    FEvent = true;
  }
  eventChanged_.notify_one();
}

void TCheckThread::Execute(std::stop_token stop) {
  while (!stop.stop_requested()) {
    {
      std::unique_lock lock(eventLock_);
      if (!eventChanged_.wait(lock, stop, [this] { return FEvent; })) return;
      FEvent = false;
    }
    // A leftover signal from taps of a burst that has already ended finds the counter at 0
    // and returns here at once.
    counter_.WaitBurstEnd(stop);
  }
}

}  // namespace zent
