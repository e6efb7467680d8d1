// The server connection's worker thread: runs the connection's waits (direct queries, the
// disconnect notice, configuration writes) one after the other, off the window's thread, and
// keeps its one retry timer. Jobs and the timer's tick run on the worker; they hand their
// results to the owner themselves. The destructor stops and joins the thread: jobs still
// queued run, told through their stop token (a direct query ends at once), and the timer
// never fires again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace zent {

class TConnectionWorker {
 public:
  using Job = std::function<void(std::stop_token)>;
  using Clock = std::chrono::steady_clock;

  TConnectionWorker();
  ~TConnectionWorker();
  TConnectionWorker(const TConnectionWorker&) = delete;
  TConnectionWorker& operator=(const TConnectionWorker&) = delete;

  // Queues `job`; jobs run in the order given.
  void Run(Job job);
  // (Re)starts the timer: `tick` runs on the worker once `interval` has passed, unless the
  // timer is started again or stopped first. A job running then delays the tick.
  void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick);
  void StopTimer();

 private:
  void Execute(std::stop_token stop);

  std::mutex mutex_;  // guards the fields below
  std::condition_variable wakeup_;
  std::deque<Job> jobs_;
  std::optional<Clock::time_point> deadline_;
  std::function<void()> tick_;
  unsigned changes_ = 0;  // bumped by every request, so a wait sees a new deadline
  // Set by the destructor. The wait watches this flag, not the stop token: in the Windows
  // build's C++ library a stop token's wake-up of a waiting condition at times never returns.
  bool stopping_ = false;
  std::jthread thread_;   // last: started after every field exists
};

}  // namespace zent
