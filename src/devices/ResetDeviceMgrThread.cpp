// The device manager's restart thread.
#include "devices/ResetDeviceMgrThread.h"

#include <charconv>
#include <condition_variable>
#include <mutex>

#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Utils.h"

namespace zent {
namespace {

uint32_t ProcessIdOf(const std::string& text) {
  uint32_t pid = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (ec != std::errc() || end != text.data() + text.size() || pid == 0) {
    throw Exception("ResetDeviceMgr: no process id in [" + text + "]");
  }
  return pid;
}

}  // namespace

TResetDeviceMgrThread::TResetDeviceMgrThread(TResetDeviceMgrSteps steps, std::function<void()> notify)
    : steps_(std::move(steps)), notify_(std::move(notify)), thread_([this](std::stop_token stop) {
        Run(stop);
        if (stop.stop_requested()) AppLog().Log(0, "ResetDeviceMgr: stopped");
        finished_ = true;
      }) {}

TResetDeviceMgrThread::~TResetDeviceMgrThread() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

bool TResetDeviceMgrThread::Pause(std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  return !wake.wait_for(lock, stop, steps_.pollPause, [] { return false; }) && !stop.stop_requested();
}

void TResetDeviceMgrThread::Run(std::stop_token stop) {
  try {
    std::string exePath;
    if (auto running = steps_.findRunning()) {
      exePath = running->exePath;
      const uint32_t pid = ProcessIdOf(running->processId);
      AppLog().LogFmt(0, "ResetDeviceMgr: ending %s (%u)", exePath.c_str(), pid);
      if (steps_.kill) steps_.kill(pid); else KillProcess(pid);
      bool gone = false;
      for (int i = 0; i < steps_.polls && !gone; ++i) {
        if (!Pause(stop)) return;
        gone = !steps_.findRunning();
      }
      if (!gone) throw Exception("关闭设备管理器异常！");
    }
    if (stop.stop_requested() || !steps_.start(exePath)) {
      AppLog().Log(0, "ResetDeviceMgr: the device manager was not started");
      return;
    }
    bool found = false;
    for (int i = 0; i < steps_.polls && !found; ++i) {
      if (!Pause(stop)) return;
      found = steps_.findRunning().has_value();
    }
    if (!found) {
      AppLog().Log(2, "ResetDeviceMgr: the device manager did not appear");
      return;
    }
    if (!steps_.waitPort(stop)) {
      if (!stop.stop_requested()) AppLog().Log(2, "ResetDeviceMgr: the device manager does not answer on its port");
      return;
    }
    AppLog().Log(0, "ResetDeviceMgr: done");
    if (notify_) notify_();
  } catch (const std::exception& e) {
    // The page is never told of a failed reset; the log keeps why.
    AppLog().Log("ResetDeviceMgr: ", e);
  }
}

TDeviceMgrReset::TDeviceMgrReset(std::function<void()> notify, TResetDeviceMgrSteps steps)
    : notify_(std::move(notify)), steps_(std::move(steps)) {}

TDeviceMgrReset::~TDeviceMgrReset() = default;

bool TDeviceMgrReset::StartDeviceMgrReset() {
  if (Running()) return false;
  thread_.reset();  // the last reset has ended: joining it costs nothing
  thread_ = std::make_unique<TResetDeviceMgrThread>(steps_, notify_);
  return true;
}

bool TDeviceMgrReset::Running() const { return thread_ && !thread_->Finished(); }

}  // namespace zent
