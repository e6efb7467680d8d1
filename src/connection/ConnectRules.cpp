#include "connection/ConnectRules.h"

#include "discovery/NetUtils.h"
#include "platform/Text.h"

namespace zent {

bool SameHost(const std::string& a, const std::string& b) { return platform::EqualsNoCase(a, b); }

bool IsHostUnusable(const std::string& host) {
  if (host.empty()) return true;
  return IsIPAddress(host) != 0 && !IsUsableIP(host);
}

TServerUri ServerUriFromReply(const TReplyData& reply) {
  TServerUri uri;
  uri.Set(reply.STomcatIp, reply.STomcatPort, reply.SUrl);
  return uri;
}

bool SameServer(const TServerUri& uri, const TReplyData& reply) {
  // The answer's path comes without the leading "/" the address adds when it is set.
  const TServerUri answer = ServerUriFromReply(reply);
  return SameHost(uri.host, answer.host) && uri.port == answer.port &&
         platform::EqualsNoCase(uri.path, answer.path);
}

}  // namespace zent
