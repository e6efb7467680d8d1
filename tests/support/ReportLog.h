// Test support: the reports a worker thread makes, kept in order so the test's thread can
// wait for a number of them and then read them all. Header-only; include as
// "support/ReportLog.h".
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace zent::testing {

template <typename Report>
class ReportLog {
 public:
  // From any thread.
  void Add(Report report) {
    std::lock_guard lock(mutex_);
    list_.push_back(std::move(report));
    cv_.notify_all();
  }
  // Waits until `n` reports arrived in all; false after `guard` (a generous bound, so a
  // missing report fails the test instead of hanging it).
  bool WaitFor(size_t n, std::chrono::milliseconds guard = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, guard, [&] { return list_.size() >= n; });
  }
  std::vector<Report> List() {
    std::lock_guard lock(mutex_);
    return list_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Report> list_;
};

}  // namespace zent::testing
