// The connect sequence's decisions, free of threads and windows: the server address in use,
// whether the host is fixed, whether the window still looks for its first page, and for
// every event (start, direct query answered, search report, retry tick, page failed, address
// dialog) what happens next. ServerConnection carries the steps out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "connection/ServerUri.h"
#include "discovery/Datagrams.h"

namespace zent {

// What the connection does next; several may be set, in this order.
struct TConnectActions {
  bool announce = false;  // log "URLCon: <page address>"
  bool query = false;     // ask Uri().host directly; its answer comes back to Answered
  bool search = false;    // start the network search; its report comes back to SearchReport
  bool openPage = false;  // save the address and load PageToLoad()
  bool retry = false;     // (re)start the one-second retry timer

  bool operator==(const TConnectActions&) const = default;
};

// Who asked the direct query that is running: its answer is read differently.
enum class QueryPurpose { Start, Dialog, Retry };

// How the page is chosen (fixed for the window's life).
struct TPageChoice {
  bool subScreen = false;  // secondary screen: the server's page address + subUrl
  std::string subUrl;
  std::string paramUrl;  // main instance: this exact address when set
};

class TConnectSteps {
 public:
  explicit TConnectSteps(TPageChoice choice = {}) : choice_(std::move(choice)) {}

  const TServerUri& Uri() const { return uri_; }
  const TPageChoice& Choice() const { return choice_; }
  bool FixHost() const { return fixHost_; }
  bool ContinuousFind() const { return continuousFind_; }
  bool HostUnusable() const;
  // The address OpenServerPage loads; the network watch follows the server only when it is
  // the server's own page in the main instance.
  std::string PageToLoad() const;
  bool WatchesServer() const { return !choice_.subScreen && choice_.paramUrl.empty(); }

  // The connect sequence after the start address was chosen.
  TConnectActions Begin(const TServerUri& start, bool fixHost);
  // A direct query asked for `purpose` has answered (`reply`) or not (nullopt).
  TConnectActions Answered(QueryPurpose purpose, const std::optional<TReplyData>& reply);
  TConnectActions SearchReport(bool found, const TReplyData& reply);
  TConnectActions RetryTick();
  // The server's page failed to load while the window was still looking for its first page.
  TConnectActions PageFailed();
  void PageOpened() { serverPageFailed_ = false; }
  void Connected() { continuousFind_ = false; }

  // The address dialog: the host text it starts from (empty when the host must be searched
  // for); the operator's confirmed choice of a fixed host; whether the confirmed host text
  // changes the page; and connecting to it (empty: search).
  std::string DialogHost() const;
  void SetFixHost(bool fixHost) { fixHost_ = fixHost; }
  bool NewServer(const std::string& host) const;
  TConnectActions ConnectTo(const std::string& host);

 private:
  TConnectActions AfterStartOrDialog(bool announce, bool dialog);

  TPageChoice choice_;
  TServerUri uri_;
  bool fixHost_ = false;
  bool continuousFind_ = true;
  bool serverPageFailed_ = false;
};

}  // namespace zent
