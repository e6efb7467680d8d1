// The notice the main window sends the server while it closes, so the server can let go of
// this terminal: where it goes (below the configured web application's address) and the
// request itself, a GET carrying the device identifier and the page's login parameters.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/Config.h"

namespace zent {

inline constexpr const char* kDisconnectPath = "/dbi/lumo7server/product/disconnect";

struct TDisconnectNotice {
  std::string host;
  uint16_t port = 0;
  std::string target;  // the request target: path below the web application, escaped
  std::string Url() const;
};

// "http://%s:%d/%s" of the configured host, port and path, a trailing "/" dropped, then the
// disconnect path. Nothing when the configured host is blank.
std::optional<TDisconnectNotice> DisconnectNoticeFor(const ServerConfig& config);

// A header value as it may go on the wire: control characters (line breaks above all, which
// would start a header of their own) become spaces.
std::string HeaderSafeValue(std::string_view value);

struct TDisconnectTimeouts {
  std::chrono::milliseconds connect{10000};
  std::chrono::milliseconds read{10000};
};

// Sends the notice with the headers "OSID" and "Params" and reads the answer. Returns the
// HTTP status, or nullopt when no answer came (a failure text in `error`). Never throws.
std::optional<int> SendDisconnectNotice(const TDisconnectNotice& notice, const std::string& osid,
                                        const std::string& params, std::string& error,
                                        TDisconnectTimeouts timeouts = {});

}  // namespace zent
