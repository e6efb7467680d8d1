// The server connection's plain decisions: whether a host can be used directly or must be
// searched for, and whether a search answer names the page in use.
#pragma once

#include <string>

#include "connection/ServerUri.h"
#include "discovery/Datagrams.h"

namespace zent {

// Host texts compare without regard to (ASCII) letter case.
bool SameHost(const std::string& a, const std::string& b);

// True when `host` is empty, or an IP address that is not usable directly (an IPv4 address
// beginning "0.", ending ".0" or containing 255). Host names are always usable.
bool IsHostUnusable(const std::string& host);

// The server address with the search answer's host, port and path.
TServerUri ServerUriFromReply(const TReplyData& reply);

// True when `reply` names the page in use: host and path equal ignoring case, port equal.
// The path is compared as the address stores it (with its leading "/").
bool SameServer(const TServerUri& uri, const TReplyData& reply);

}  // namespace zent
