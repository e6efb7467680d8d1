// The server finder: one background thread per process that, on request, broadcasts the
// search, waits for the first answer and reports it to the requester's callback on the
// finder thread. A request while a search runs is ignored; Stop drops the running search's
// result. The module keeps one finder from process initialisation to process end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/Datagrams.h"
#include "discovery/UdpClient.h"
#include "platform/Net.h"

namespace zent {

// found, the answer (valid during the call only), error text (empty unless the search failed).
using FoundCallback = std::function<void(bool, const TReplyData&, const std::string&)>;

class TFindServerT {
 public:
  explicit TFindServerT(TUdpClientOptions options = {});
  // Stops the thread (a running search ends at once, without a report) and waits for it.
  ~TFindServerT();
  TFindServerT(const TFindServerT&) = delete;
  TFindServerT& operator=(const TFindServerT&) = delete;

  // Starts a search reporting to `callback`; ignored while a search runs or reports.
  void Find(FoundCallback callback);
  // Ends the running search without a report. Once Stop returns, no callback of that search
  // runs any more (a report already running is waited for), so the callback must not wait
  // for the thread that calls Stop.
  void Stop();
  // Waits until no search runs or reports; false when `timeout` passed first.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

 private:
  void Execute(std::stop_token stop);
  void RunSearch(std::stop_token& stop, const FoundCallback& callback);
  bool StopRequested(const std::stop_token& stop);

  const TUdpClientOptions options_;
  std::mutex mutex_;                    // guards the fields below
  std::condition_variable_any wakeup_;  // a request arrived
  std::condition_variable idle_;         // a search ended
  FoundCallback foundCallback_;
  bool FFinding = false;
  bool FEvent = false;                  // a request waits to be taken (auto-reset)
  bool FStop = false;
  // Held while a report runs, so Stop can wait for it; recursive so that a callback may
  // itself call Stop or Find.
  std::recursive_mutex reportMutex_;
  platform::WakeEvent receiveWake_;     // ends a receive at once on Stop or shutdown
  std::unique_ptr<TUdpClient> client_;  // used by the finder thread only
  std::jthread thread_;                 // last: started after every field exists
};

// The module's finder. Both do nothing when the module is not initialised.
void StartFindServer(FoundCallback callback);
void StopFindServer();

// Process initialisation creates the finder; process end stops and frees it (also done at
// exit when the program forgets to).
void InitializeFindServer(TUdpClientOptions options = {});
void FinalizeFindServer();

}  // namespace zent
