// IPv4 networking for server discovery: address texts, name resolution, the default
// gateway, a UDP socket whose receive can be woken at once from another thread, and an
// ICMP echo probe. Contract: nothing throws; failures come back as std::error_code,
// std::optional or false. Addresses are IPv4 in network byte order (as on the wire).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Handle.h"

namespace zent::platform {

// Dotted (or classic short) IPv4 text to an address; nullopt when it is no address.
std::optional<uint32_t> ParseIPv4(std::string_view text);
// "a.b.c.d", lowest-addressed byte first.
std::string IPv4Text(uint32_t address);
// True when the text is an IPv6 address in colon notation.
bool IsIPv6Text(std::string_view text);
// A dotted address or a host name resolved to its first IPv4 address; nullopt when neither.
std::optional<uint32_t> ResolveIPv4(const std::string& host);

// The next hop of the first default route; nullopt without one or when the table is unreadable.
std::optional<uint32_t> DefaultGatewayIPv4();

// A wake-up signal one thread raises and a receive on another thread notices at once.
// Raising it twice before it is noticed counts once.
class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  bool Valid() const noexcept { return handle_ != kNoHandle; }
  void Signal() noexcept;
  // Clears the signal; true when it was raised.
  bool Consume() noexcept;
  // For the platform layer's implementation files.
  NativeHandle Native() const noexcept { return handle_; }

 private:
  NativeHandle handle_ = kNoHandle;
};

class UdpSocket {
 public:
  enum class ReceiveKind { kDatagram, kTooLarge, kTimeout, kWoken };
  struct Received {
    ReceiveKind kind = ReceiveKind::kTimeout;
    size_t size = 0;      // bytes in the buffer (kDatagram)
    uint32_t from = 0;    // sender address and port (kDatagram, kTooLarge)
    uint16_t fromPort = 0;
  };

  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  std::error_code Open();
  bool IsOpen() const noexcept { return fd_ != kNoHandle; }
  void Close() noexcept;
  std::error_code EnableBroadcast();
  // Port 0 lets the system choose.
  std::error_code Bind(uint32_t address, uint16_t port);
  std::error_code LocalPort(uint16_t& port) const;
  std::error_code SendTo(uint32_t address, uint16_t port, std::span<const uint8_t> data);
  // Waits up to timeoutMs for one datagram. A datagram larger than the buffer is consumed
  // and reported as kTooLarge. A raised `wake` is consumed and reported as kWoken.
  std::error_code Receive(std::span<uint8_t> buffer, int timeoutMs, WakeEvent* wake, Received& out);

 private:
  NativeHandle fd_ = kNoHandle;
};

// Sends one ICMP echo request (`request` starts with the ICMP header, type 8) to `address`
// and waits up to timeoutMs for the matching echo reply. Uses an unprivileged ICMP datagram
// socket where the system allows it, else a raw socket; on Windows IcmpSendEcho, which writes
// its own header and sends only the payload after it. False on any failure or time-out.
bool IcmpEcho(uint32_t address, std::span<const uint8_t> request, int timeoutMs) noexcept;

}  // namespace zent::platform
