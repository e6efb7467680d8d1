#include "connection/ServerUri.h"

namespace zent {

void TServerUri::Set(const std::string& newHost, uint16_t newPort, const std::string& newPath) {
  host = newHost;
  port = newPort;
  path = newPath.empty() || newPath.front() != '/' ? "/" + newPath : newPath;
}

std::string TServerUri::PageAddress() const {
  std::string text = scheme + "://" + host;
  const bool defaultPort = (scheme == "http" && port == 80) || (scheme == "https" && port == 443);
  if (port != 0 && !defaultPort) text += ":" + std::to_string(port);
  return text + (path.empty() ? "/" : path);
}

uint16_t TServerUri::EffectivePort() const {
  if (port != 0) return port;
  return scheme == "https" ? 443 : 80;
}

}  // namespace zent
