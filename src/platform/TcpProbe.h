// Reachability probes for the network watch: a host name looked up and a TCP connection
// tried, each bounded by its time-out and ended at once when another thread raises the
// caller's cancel event (a raised event stays raised; the probes never consume it).
// Contract: nothing throws; results are return values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Net.h"

namespace zent::platform {

enum class ConnectResult {
  kConnected,    // the connection was accepted within the time-out
  kUnconnected,  // refused, unreachable, or not completed within the time-out
  kError,        // no test could be made (the socket could not be set up)
  kCancelled,    // the cancel event was raised while waiting
};

// Tries one TCP connection to `address` (IPv4, network byte order) and `port` (host order),
// waiting at most `timeoutMs` for it to complete, and closes it again. A failure the
// system reports before the time-out (a refusal, say) is kUnconnected at once.
ConnectResult TcpConnectTest(uint32_t address, uint16_t port, uint32_t timeoutMs,
                             const WakeEvent* cancel);

// ResolveIPv4 that a raised `cancel` ends at once with nullopt; a name lookup still running
// in the system's resolver then finishes on its own and its result is dropped. (Built with
// ThreadSanitizer, the lookup runs in place and only a cancel raised before it counts.)
std::optional<uint32_t> ResolveIPv4Cancellable(const std::string& host, const WakeEvent& cancel);

}  // namespace zent::platform
