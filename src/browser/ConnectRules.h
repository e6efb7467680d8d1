// The server connection's decisions, free of the window: which address the window starts
// from (start address, fixed host or the configured server), whether a host can be used
// directly or must be searched for, and whether a search answer names the page in use.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/Config.h"
#include "browser/ServerUri.h"
#include "common/Errors.h"
#include "discovery/Datagrams.h"

namespace zent {

// A start address ("-url") that is no absolute address with a scheme and a host.
ZENT_DECLARE_ERROR(EUriError, Exception)

// Host texts compare without regard to letter case.
bool SameHost(const std::string& a, const std::string& b);

// True when `host` is empty, or an IP address that is not usable directly (an IPv4 address
// beginning "0.", ending ".0" or containing 255). Host names are always usable.
bool IsHostUnusable(const std::string& host);

// The server address with the search answer's host, port and path.
TServerUri ServerUriFromReply(const TReplyData& reply);

// True when `reply` names the page in use: host and path equal ignoring case, port equal.
// The path is compared as the address stores it (with its leading "/").
bool SameServer(const TServerUri& uri, const TReplyData& reply);

enum class StartSource { ParamUrl, ParamHost, Config };

struct TStartAddress {
  StartSource source = StartSource::Config;
  TServerUri uri;       // where the direct query and the page start from
  std::string logLine;  // the level-1 log line naming the choice
  // The endpoint the network watch is pointed at for a start address: its port, else the
  // scheme's default. Only set for StartSource::ParamUrl.
  std::string watchHost;
  uint16_t watchPort = 0;
};

// The first match wins: the start address (only its host is taken), the host given on the
// command line, the configured server. Throws EUriError naming `paramUrl` when it is set and
// is no absolute address with a scheme and a host.
TStartAddress ChooseStartAddress(const std::string& paramUrl, const std::string& hostText,
                                 const ServerConfig& config);

}  // namespace zent
