// The device manager's restart on the page's request: end the running instance, start it
// again, wait until it answers on its port, then tell the page. It runs on its own thread,
// at most one at a time; a stop request (the window closing) ends every wait at once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "devices/DeviceMgr.h"

namespace zent {

// What a reset does at each step; the defaults act on the real device manager.
struct TResetDeviceMgrSteps {
  std::function<std::optional<TProcessEntryText>()> findRunning = FindRunningDeviceMgr;
  std::function<void(uint32_t pid)> kill;  // default: KillProcess
  std::function<bool(const std::string& exePath)> start = StartForReset;
  std::function<bool(std::stop_token)> waitPort = [](std::stop_token stop) { return WaitDeviceMgrPort(stop); };
  int polls = 1501;  // looks for the old instance to go, and again for the new one to come
  std::chrono::milliseconds pollPause{200};
};

// One reset. `notify` is called on the reset's thread after a successful reset, once; the
// caller moves it to the window's thread. The destructor stops the reset and waits for it.
class TResetDeviceMgrThread {
 public:
  TResetDeviceMgrThread(TResetDeviceMgrSteps steps, std::function<void()> notify);
  ~TResetDeviceMgrThread();
  TResetDeviceMgrThread(const TResetDeviceMgrThread&) = delete;
  TResetDeviceMgrThread& operator=(const TResetDeviceMgrThread&) = delete;

  bool Finished() const { return finished_.load(); }

 private:
  void Run(std::stop_token stop);
  // Pauses one poll; false when a stop was asked for.
  bool Pause(std::stop_token stop);

  TResetDeviceMgrSteps steps_;
  std::function<void()> notify_;
  std::atomic<bool> finished_{false};
  std::jthread thread_;  // last: it starts once everything it reads is set
};

// The one reset of the program: a new reset starts only when none runs. The window owns
// it, so closing the window stops a running reset.
class TDeviceMgrReset {
 public:
  explicit TDeviceMgrReset(std::function<void()> notify, TResetDeviceMgrSteps steps = {});
  ~TDeviceMgrReset();

  // Starts a reset unless one is running; true when it started one.
  bool StartDeviceMgrReset();
  bool Running() const;

 private:
  std::function<void()> notify_;
  TResetDeviceMgrSteps steps_;
  std::unique_ptr<TResetDeviceMgrThread> thread_;
};

}  // namespace zent
