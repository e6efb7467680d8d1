// The window's server connection: the connect sequence (direct query, network search, the
// one-second retry, the address dialog's choice) and the disconnect notice while closing.
// Its decisions are TConnectSteps; every wait (echo probe, HTTP request, notice) runs on its
// own worker thread, so the owner's thread never waits on the network. All methods are
// called on the owner's thread, and every report reaches the owner there: the worker and
// the finder hand their results over through `post`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "connection/ConnectSteps.h"
#include "connection/ConnectionWorker.h"
#include "connection/DisconnectNotice.h"
#include "discovery/FindServer.h"
#include "discovery/UdpClient.h"

namespace zent {

// Runs a function on the owner's thread on a later turn of its loop; callable from any thread.
using TPostToOwner = std::function<void(std::function<void()>)>;

struct TConnectionReports {
  // Load this page (OpenServerPage: the address is being saved on the worker).
  std::function<void(const std::string& address)> loadPage;
  // The server now used is `host`:`port` (the main instance's own server page is opening):
  // the place where the network watch is pointed at the server.
  std::function<void(const std::string& host, uint16_t port)> serverInUse;
};

struct TConnectionOptions {
  uint16_t directionalPort = kDirectionalPort;
  std::chrono::milliseconds retryInterval{1000};
  TDisconnectTimeouts disconnect;
  // The search, the stored address and the stored fixed-host choice; the program's module
  // finder and configuration file unless a test replaces them. The saves run on the worker.
  std::function<void(FoundCallback)> startSearch = StartFindServer;
  std::function<void()> stopSearch = StopFindServer;
  std::function<void(const TServerUri&)> saveAddress;  // default: SaveServerConfig
  std::function<void(bool)> saveFixHost;               // default: SaveFixHost
};

class ServerConnection {
 public:
  ServerConnection(TPageChoice choice, TPostToOwner post, TConnectionReports reports,
                   TConnectionOptions options = {});
  // Stops the search, the timer and a direct query at once; a disconnect notice under way is
  // waited for (its own time-outs bound the wait).
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  const TConnectSteps& Steps() const { return steps_; }

  // The connect sequence from the chosen start address: the direct query starts at once;
  // what follows from it (the search or the page) waits for BrowserReady.
  void Begin(const TServerUri& start, bool fixHost);
  void BrowserReady();

  // The server's page failed to load while the first page was awaited: retry in a second.
  void PageFailed();
  // The first page has loaded.
  void Connected() { steps_.Connected(); }
  // Saves the address and asks for the page (also after the renderer died).
  void OpenServerPage();

  // The address dialog was confirmed: the choice of a fixed host is stored and everything
  // under way stops. The page changes only for a NewServer; ConnectTo then starts over.
  void StopConnecting(bool fixHost);
  bool NewServer(const std::string& host) const { return steps_.NewServer(host); }
  void ConnectTo(const std::string& host);

  // Closing (main instance): everything under way stops, the notice goes to the configured
  // server, then `afterwards` runs on the worker (answered, failed or timed out alike).
  void Disconnect(const std::string& osid, const std::string& loginParams, std::function<void()> afterwards);

 private:
  void Apply(const TConnectActions& next, QueryPurpose purpose);
  void Query(QueryPurpose purpose);
  void CancelQuery();
  void QueryAnswered(QueryPurpose purpose, const std::optional<TReplyData>& reply);
  void Search();
  void ServerFound(bool found, const TReplyData& reply, const std::string& error);
  void StartRetry();
  void StopRetry();
  void RetryTick();
  // Wraps `fn` so it runs on the owner's thread only while this object lives.
  void Post(std::function<void()> fn);

  TConnectSteps steps_;
  TPostToOwner post_;
  TConnectionReports reports_;
  TConnectionOptions options_;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);  // posted work checks it is still alive

  bool browserReady_ = false;
  std::optional<TConnectActions> startPending_;  // the start's next steps, held for the browser
  bool queryRunning_ = false;
  unsigned queryGen_ = 0;  // an answer of an older query is dropped
  std::stop_source queryStop_;
  unsigned retryGen_ = 0;  // a tick of a stopped or restarted timer is dropped

  std::mutex closingMutex_;
  std::condition_variable closingDone_;
  bool disconnecting_ = false;

  std::unique_ptr<TConnectionWorker> worker_;  // last: it goes first
};

}  // namespace zent
