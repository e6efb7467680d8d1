// The UDP side of the server search (a client socket bound to the local address on the
// default gateway's subnet, sending to the limited broadcast address and waiting for the
// first answer) and TBroadcastClient, which asks one known host over HTTP whether it is
// the server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>

#include "discovery/Datagrams.h"
#include "platform/Net.h"

namespace zent {

inline constexpr uint16_t kDiscoveryPort = 65530;
inline constexpr uint16_t kDirectionalPort = 7006;

struct TUdpClientOptions {
  std::string host = "255.255.255.255";  // destination
  uint16_t port = kDiscoveryPort;
  // Bind to the address on the default gateway's subnet; off binds to all local addresses.
  bool bindToGatewaySubnet = true;
};

class TUdpClient {
 public:
  static constexpr size_t kReceiveBufferSize = 1024;
  static constexpr int kReceiveTimeoutMs = 1000;

  explicit TUdpClient(const TUdpClientOptions& options);  // throws EOSError

  void EnableBroadcast();                        // throws EOSError
  void Send(std::span<const uint8_t> data);      // to the destination; throws EOSError
  // The local address the socket was bound to ("" for all addresses) and its port.
  const std::string& BoundAddress() const { return boundAddress_; }
  uint16_t LocalPort() const;
  platform::UdpSocket& Socket() { return socket_; }

 private:
  platform::UdpSocket socket_;
  uint32_t destination_ = 0;
  uint16_t port_ = 0;
  std::string boundAddress_;
};

// A client for the search, bound as configured. Throws EOSError when no socket can be made.
std::unique_ptr<TUdpClient> CreateUdpClient(const TUdpClientOptions& options = {});

// Waits for an answer of `expectedType`: at most 3000 ms, each receive at most 1000 ms.
// Datagrams shorter than 236 bytes, larger than the 1024-byte buffer or of another type are
// skipped. A counting answer's STomcatIp becomes the sender's address. Returns false at
// the time limit or once `stop` says so; a raised `wake` ends the current receive at once.
// Throws EOSError for a socket error.
bool WaitReply(TUdpClient& client, TReplyData& rd, int32_t expectedType,
               const std::function<bool()>& stop, platform::WakeEvent* wake = nullptr);

class TBroadcastClient {
 public:
  // Time limits of the "/Directional" request, and the largest answer read.
  static constexpr int kConnectTimeoutMs = 5000;
  static constexpr int kReadTimeoutMs = 5000;
  static constexpr size_t kMaxAnswerBytes = 64 * 1024;

  explicit TBroadcastClient(uint16_t port = kDirectionalPort) : port_(port) {}

  // Asks AHost (after an ICMP echo probe) for "/Directional" and fills ARD from the answer.
  // True when it answered as the server (message type 13). Never throws. A stop request on
  // `stop` ends a request that waits for its answer at once (answering false).
  bool HttpDirectional(const std::string& AHost, TReplyData& ARD, std::stop_token stop = {});

 private:
  uint16_t port_;
};

}  // namespace zent
