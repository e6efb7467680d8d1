// What a page may hand to the desktop's opener through its openurl command, and how often.
// The page is untrusted: only an absolute web address (http or https with a host) reaches
// the opener, so no local file, share or option-like text can be opened from it; and a page
// writing the command in a loop starts at most one opener a second.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zent {

// Longest address handed on; far beyond any link a server sends.
inline constexpr size_t kMaxOpenUrlLength = 16384;

// Nullopt when `address` may be opened; otherwise why not, for the log. Accepted: "http://"
// or "https://" (scheme in any case) at the very start, a host (a name, an IPv4 address or
// a bracketed IPv6 address) with an optional numeric port, then anything of a path, query
// and fragment; no blank, control character, backslash or user name anywhere; valid UTF-8.
std::optional<std::string> OpenUrlRefusal(std::string_view address);

// The address as a log line may carry it: control characters and invalid bytes as \xNN,
// cut after 512 bytes, so a page cannot forge or flood the log through it.
std::string OpenUrlForLog(std::string_view address);

// At most one opener start per interval. The requests that come in between are dropped; the
// first one dropped after a start says so (one log line per burst), the rest go silently.
class TOpenerGate {
 public:
  using Clock = std::chrono::steady_clock;
  enum class TVerdict { Start, DropFirst, Drop };

  explicit TOpenerGate(std::chrono::milliseconds interval = std::chrono::seconds(1)) : interval_(interval) {}

  TVerdict OnRequest(Clock::time_point now);

 private:
  std::chrono::milliseconds interval_;
  std::optional<Clock::time_point> lastStart_;
  bool dropLogged_ = false;
};

}  // namespace zent
