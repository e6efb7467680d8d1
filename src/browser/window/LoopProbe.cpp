#include "browser/window/LoopProbe.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "common/FileLog.h"
#include "platform/Process.h"

namespace zent {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(200);

class ThreadLoopProbe final : public LoopProbe {
 public:
  explicit ThreadLoopProbe(std::FILE* out) : out_(out), thread_([this](std::stop_token stop) { Execute(stop); }) {}
  ~ThreadLoopProbe() override {
    thread_.request_stop();
    thread_.join();
    std::fclose(out_);
  }

 private:
  void Execute(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
      const auto sent = Clock::now();
      answered_ = false;
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [this] {
            std::lock_guard guard(mutex_);
            answered_ = true;
            answeredAt_ = Clock::now();
            done_.notify_all();
          },
          Qt::QueuedConnection);
      // A loop that never turns again (the process ending) ends the wait through the stop.
      if (!done_.wait(lock, stop, [this] { return answered_; })) break;
      const auto latency = std::chrono::duration<double, std::milli>(answeredAt_ - sent).count();
      const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
      std::fprintf(out_, "%lld %.1f\n", static_cast<long long>(now), latency);
      std::fflush(out_);
      done_.wait_until(lock, stop, sent + kInterval, [] { return false; });
    }
  }

  std::FILE* out_;
  std::mutex mutex_;
  std::condition_variable_any done_;
  bool answered_ = false;
  Clock::time_point answeredAt_;
  std::jthread thread_;  // last: started after every field exists
};

}  // namespace

std::unique_ptr<LoopProbe> StartLoopProbeFromEnvironment() {
  const auto path = platform::EnvironmentValue("ZENT_LOOP_PROBE");
  if (!path || path->empty()) return nullptr;
  std::FILE* out = std::fopen(path->c_str(), "w");
  if (!out) {
    AppLog().Log(2, "LoopProbe: cannot write " + *path);
    return nullptr;
  }
  return std::make_unique<ThreadLoopProbe>(out);
}

}  // namespace zent
