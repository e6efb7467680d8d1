// The current server address (scheme, host, port, path) and its page address text.
#pragma once

#include <cstdint>
#include <string>

namespace zent {

struct TServerUri {
  std::string scheme = "http";
  std::string host;
  uint16_t port = 0;
  std::string path = "/";

  // Back to the cleared state: http, no host, port 0, path "/".
  void Reset() { *this = TServerUri{}; }
  void Set(const std::string& newHost, uint16_t newPort, const std::string& newPath);

  // scheme://host[:port]path; the port is left out when 0 or the scheme's default.
  std::string PageAddress() const;
  // The port the page address reaches: `port`, or the scheme's default when it is 0.
  uint16_t EffectivePort() const;
};

}  // namespace zent
