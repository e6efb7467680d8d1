#include "discovery/FindServer.h"

#include <memory>
#include <utility>

#include "common/Errors.h"
#include "lang/Translate.h"
#include "platform/DebugOutput.h"

namespace zent {

TFindServerT::TFindServerT(TUdpClientOptions options)
    : options_(std::move(options)), thread_([this](std::stop_token st) { Execute(st); }) {}

TFindServerT::~TFindServerT() {
  thread_.request_stop();  // wakes the request wait; the stop callback wakes the receive
  receiveWake_.Signal();
  if (thread_.joinable()) thread_.join();
}

void TFindServerT::Find(FoundCallback callback) {
  {
    std::lock_guard lock(mutex_);
    if (FFinding) return;  // a request during a search is ignored, not queued
    foundCallback_ = std::move(callback);
    FStop = false;
    FEvent = true;
  }
  wakeup_.notify_all();
}

void TFindServerT::Stop() {
  {
    std::lock_guard lock(mutex_);
    FStop = true;
  }
  receiveWake_.Signal();
  // A report that already started finishes before Stop returns.
  std::lock_guard report(reportMutex_);
}

bool TFindServerT::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return !FFinding && !FEvent; });
}

bool TFindServerT::StopRequested(const std::stop_token& stop) {
  if (stop.stop_requested()) return true;
  std::lock_guard lock(mutex_);
  return FStop;
}

void TFindServerT::Execute(std::stop_token stop) {
  // A stop request must also end a receive in progress.
  std::stop_callback onStop(stop, [this] { receiveWake_.Signal(); });
  try {
    client_ = CreateUdpClient(options_);
    client_->EnableBroadcast();
  } catch (const std::exception&) {
    // Without a socket each request reports the failure; creation is tried again then.
    client_.reset();
  }

  for (;;) {
    FoundCallback callback;
    {
      std::unique_lock lock(mutex_);
      if (!wakeup_.wait(lock, stop, [this] { return FEvent; })) break;  // stop requested
      FEvent = false;
      FFinding = true;
      callback = foundCallback_;
    }
    RunSearch(stop, callback);
    {
      std::lock_guard lock(mutex_);
      FFinding = false;
    }
    idle_.notify_all();
    if (stop.stop_requested()) break;
  }
  client_.reset();
}

void TFindServerT::RunSearch(std::stop_token& stop, const FoundCallback& callback) {
  TReplyData rd;
  auto report = [&](bool found, const std::string& error) {
    std::lock_guard guard(reportMutex_);
    if (StopRequested(stop) || !callback) return;
    try {
      callback(found, rd, error);
    } catch (...) {
      // The requester's own failure is its business; the finder goes on serving requests.
    }
  };
  try {
    platform::OutputDebugString("开始查找服务器");
    if (!client_) {
      client_ = CreateUdpClient(options_);
      client_->EnableBroadcast();
    }
    // Stale wake-ups from a Stop between searches must not cut this search short.
    receiveWake_.Consume();
    if (StopRequested(stop)) return;
    client_->Send(TRequestData{}.ToBytes());
    const bool found = WaitReply(*client_, rd, kMsgSearchAnswer,
                                 [&] { return StopRequested(stop); }, &receiveWake_);
    report(found, std::string());
  } catch (const std::exception& e) {
    report(false, Translate("广播查找异常: ") + e.what());
  }
}

// ---- module ----

namespace {

struct FinderModule {
  std::mutex mutex;
  std::shared_ptr<TFindServerT> finder;
  ~FinderModule() { finder.reset(); }  // process end: stop and join a forgotten finder
};

FinderModule& Module() {
  static FinderModule module;
  return module;
}

std::shared_ptr<TFindServerT> Current() {
  std::lock_guard lock(Module().mutex);
  return Module().finder;
}

}  // namespace

void StartFindServer(FoundCallback callback) {
  if (auto f = Current()) f->Find(std::move(callback));
}

void StopFindServer() {
  if (auto f = Current()) f->Stop();
}

void InitializeFindServer(TUdpClientOptions options) {
  auto finder = std::make_shared<TFindServerT>(std::move(options));
  std::shared_ptr<TFindServerT> old;
  {
    std::lock_guard lock(Module().mutex);
    old = std::exchange(Module().finder, std::move(finder));
  }
}

void FinalizeFindServer() {
  std::shared_ptr<TFindServerT> old;
  {
    std::lock_guard lock(Module().mutex);
    old = std::move(Module().finder);
  }
  // `old` goes here: its thread is stopped and joined outside the module lock.
}

}  // namespace zent
