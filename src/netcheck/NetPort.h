// TPortCheck: a thread that watches a list of TCP endpoints (host and port), tries a
// connection to each in passes two seconds apart, and reports every change of an
// endpoint's state through a callback on its own thread. The list may be changed from any
// thread while the checker runs; destroying the checker stops it at once and waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Net.h"

namespace zent {

enum TPortStatus : uint8_t { PS_UNCHECK = 0, PS_OK = 1, PS_UNCONNECTED = 2, PS_UNKNOW = 3 };

// The log text of a state: "未检测", "正常", "无法连接", "未知".
const char* PortStatusText(TPortStatus status);

// The item key: upper-case "HOST:PORT", so hosts match without regard to case.
std::string PortCheckKey(const std::string& host, uint16_t port);

// Connects to `address` (IPv4, network byte order) and `port`, waiting at most `timeoutMs`:
// PS_OK when the connection is accepted, PS_UNCONNECTED when it is refused, unreachable or
// not completed in time, PS_UNCHECK when no test could be made. A raised `cancel` ends the
// wait at once (PS_UNCHECK).
TPortStatus ConnectTest(uint32_t address, uint16_t port, uint32_t timeoutMs,
                        const platform::WakeEvent* cancel = nullptr);

class TPortCheck;

// The checker, the host as passed to Add, the new state, the port, the dotted address the
// host resolved to ("255.255.255.255" when it did not).
using TPortStateChangeEvent = std::function<void(TPortCheck&, const std::string&, TPortStatus, uint16_t,
                                                 const std::string&)>;

struct TPortCheckTiming {
  std::chrono::milliseconds passInterval{2000};  // from the start of one pass to the next
  std::chrono::milliseconds itemGap{20};         // before each item of a pass
};

class TPortCheck {
 public:
  struct TCheckItem {
    std::string Key;
    TPortStatus Status = PS_UNCHECK;
    std::string Host;
    uint16_t Port = 0;
    uint16_t TimeOut = 0;  // ms
    std::chrono::steady_clock::time_point NextCheckTS;  // when added; passes ignore it
  };

  // Starts the thread at once; the first pass begins after one short gap.
  explicit TPortCheck(TPortStateChangeEvent onChange = {}, TPortCheckTiming timing = {});
  // Stops the thread (a wait or a connection attempt in progress ends at once) and joins it.
  ~TPortCheck();
  TPortCheck(const TPortCheck&) = delete;
  TPortCheck& operator=(const TPortCheck&) = delete;

  // Adds the endpoint unless one with the same key is watched; a new item is PS_UNCHECK.
  void Add(const std::string& AHost, uint16_t APort, uint16_t ATimeOut);
  // Removes the endpoint with that key, if any.
  void Remove(const std::string& AHost, uint16_t APort);
  // The endpoint's last state, PS_UNKNOW when it is not watched.
  TPortStatus PortState(const std::string& AHost, uint16_t APort) const;

 private:
  void Execute(std::stop_token stop);
  void RunPass(const std::stop_token& stop);
  // Waits `d` unless a stop comes first; false when stopped.
  bool Pause(const std::stop_token& stop, std::chrono::steady_clock::duration d);

  std::vector<std::unique_ptr<TCheckItem>> FItems;
  mutable std::shared_mutex FSCItem;  // guards FItems and every item's Status
  const TPortStateChangeEvent FOnChange;
  const TPortCheckTiming timing_;
  std::mutex pauseMutex_;
  std::condition_variable_any pauseWake_;  // only a stop request wakes it early
  platform::WakeEvent cancel_;             // ends a lookup or connection attempt on stop
  std::jthread thread_;                    // last: started after every field exists
};

}  // namespace zent
