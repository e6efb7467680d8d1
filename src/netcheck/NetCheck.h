// The network watch: a trace of network trouble at the till. One checker per process
// watches a public web site, the vendor's cloud API host and the application server the
// window currently uses, and writes every change of their reachability into the "NetCheck"
// log ("host:port - address - state"). The two public endpoints are branding defaults that
// the run-options file may change (section "NetCheck", keys "PublicSite" and "CloudApi",
// "host" or "host:port"; an empty value watches nothing there).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "netcheck/NetPort.h"

namespace zent {

struct TNetCheckEndpoint {
  std::string host;
  uint16_t port = 80;
  bool operator==(const TNetCheckEndpoint&) const = default;
};

struct TNetCheckTargets {
  std::optional<TNetCheckEndpoint> publicSite = TNetCheckEndpoint{"www.baidu.com", 80};
  std::optional<TNetCheckEndpoint> cloudApi = TNetCheckEndpoint{"api.example.com", 80};
};

// Connection wait for every watched endpoint.
inline constexpr uint16_t kNetCheckTimeOutMs = 1000;

// "host" (port 80) or "host:port"; nullopt for an empty host or a port outside 1..65535.
std::optional<TNetCheckEndpoint> ParseNetCheckEndpoint(std::string_view text);

// The defaults with what the run-options file changes. An empty value drops the endpoint;
// a value that does not parse keeps the default and is logged.
TNetCheckTargets ReadNetCheckTargets(const std::string& runOptionsFile);

// Creates the "NetCheck" log and the checker once per process and watches the targets and,
// when one was set before, the server. Later calls do nothing.
void StartNetCheck(const TNetCheckTargets& targets = {});

// Makes (host, port) the watched server: the previous pair is dropped when the host differs
// (without regard to case) or the port does. An empty host only forgets the previous pair.
void SetNetCheckServer(const std::string& host, uint16_t port);

// The checker's callback: "%s:%d - %s - %s" at level 0 into the "NetCheck" log.
void LogPortState(TPortCheck& sender, const std::string& host, TPortStatus status, uint16_t port,
                  const std::string& address);

// Process end: stops and frees the checker, then the log, and forgets the server.
void FinalizeNetCheck();

// Runs FinalizeNetCheck when the start-up's scope ends, whichever way it ends.
class NetCheckScope {
 public:
  NetCheckScope() = default;
  ~NetCheckScope() { FinalizeNetCheck(); }
  NetCheckScope(const NetCheckScope&) = delete;
  NetCheckScope& operator=(const NetCheckScope&) = delete;
};

}  // namespace zent
