#include "connection/ConnectionWorker.h"

namespace zent {

TConnectionWorker::TConnectionWorker() : thread_([this](std::stop_token stop) { Execute(stop); }) {}

TConnectionWorker::~TConnectionWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  thread_.request_stop();  // cancels a running direct query
  wakeup_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TConnectionWorker::Run(Job job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    ++changes_;
  }
  wakeup_.notify_all();
}

void TConnectionWorker::StartTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
  {
    std::lock_guard lock(mutex_);
    deadline_ = Clock::now() + interval;
    tick_ = std::move(tick);
    ++changes_;
  }
  wakeup_.notify_all();
}

void TConnectionWorker::StopTimer() {
  {
    std::lock_guard lock(mutex_);
    deadline_.reset();
    tick_ = nullptr;
    ++changes_;
  }
  wakeup_.notify_all();
}

void TConnectionWorker::Execute(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  // Queued jobs run even after the stop (told so by their token): a save or a notice is
  // never lost, and a direct query ends at once.
  while (!stopping_ || !jobs_.empty()) {
    if (!jobs_.empty()) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job(stop);
      lock.lock();
      continue;
    }
    if (deadline_ && Clock::now() >= *deadline_) {
      auto tick = std::move(tick_);
      deadline_.reset();
      tick_ = nullptr;
      lock.unlock();
      if (tick) tick();
      lock.lock();
      continue;
    }
    const unsigned seen = changes_;
    const auto changed = [&] { return changes_ != seen || stopping_; };
    if (deadline_) {
      // A copy: the field may change while the wait has the lock released.
      const Clock::time_point until = *deadline_;
      wakeup_.wait_until(lock, until, changed);
    } else {
      wakeup_.wait(lock, changed);
    }
  }
}

}  // namespace zent
