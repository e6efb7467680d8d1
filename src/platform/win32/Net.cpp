// Windows: IPv4 sockets on Winsock. A receive waits on the socket's network event beside the
// wake's event object (WSAEventSelect + WSAWaitForMultipleEvents), so a raised wake ends it
// at once; the gateway from the IP Helper routing table; ICMP echo through IcmpSendEcho,
// which needs no privileges.
#include "platform/win32/Winsock.h"  // winsock2.h must come before windows.h

#include "platform/Net.h"
#include "platform/Clock.h"
#include "platform/win32/RouteTable.h"
#include "platform/win32/UniqueHandle.h"

#include <iphlpapi.h>
#include <icmpapi.h>
#include <mswsock.h>
#include <ws2tcpip.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

namespace zent::platform {
namespace {

using win32::LastSocketError;

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  sa.sin_port = htons(port);
  return sa;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One part of an address: decimal, octal after a leading 0, hexadecimal after 0x; stops at
// the first character that is no digit of its base. False when it exceeds 32 bits.
bool ParsePart(std::string_view text, size_t& i, uint64_t& value) {
  unsigned base = 10;
  if (text[i] == '0') {
    base = 8;
    // "0x" without a hexadecimal digit after it is the number 0 followed by an "x".
    if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      base = 16;
      i += 2;
    }
  }
  value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned d;
    if (IsDigit(c)) d = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (d >= base) break;
    value = value * base + d;
    if (value > 0xFFFFFFFFull) return false;
  }
  return true;
}

}  // namespace

// The classic address forms the POSIX side accepts (inet_aton): one to four parts, the last
// filling the remaining bytes, each decimal, octal or hexadecimal, and text after a blank
// ignored. Windows' own parsers differ in these corners, so the rules are spelt out here.
std::optional<uint32_t> ParseIPv4(std::string_view text) {
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) return std::nullopt;
  uint8_t bytes[4] = {};
  size_t parts = 0, i = 0;
  uint64_t value = 0;
  for (;;) {
    if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;
    if (!ParsePart(text, i, value)) return std::nullopt;
    if (i < text.size() && text[i] == '.') {
      if (parts > 2 || value > 0xFF) return std::nullopt;
      bytes[parts++] = static_cast<uint8_t>(value);
      ++i;
      continue;
    }
    break;
  }
  if (i < text.size() && !IsSpace(text[i])) return std::nullopt;
  static constexpr uint64_t kMax[4] = {0xFFFFFFFFull, 0xFFFFFFull, 0xFFFFull, 0xFFull};
  if (value > kMax[parts]) return std::nullopt;
  for (size_t b = 3; b >= parts; --b) {
    bytes[b] = static_cast<uint8_t>(value);
    value >>= 8;
    if (b == 0) break;
  }
  uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

std::string IPv4Text(uint32_t address) {
  const auto* b = reinterpret_cast<const uint8_t*>(&address);
  return std::to_string(b[0]) + '.' + std::to_string(b[1]) + '.' + std::to_string(b[2]) + '.' +
         std::to_string(b[3]);
}

bool IsIPv6Text(std::string_view text) {
  if (text.find('\0') != std::string_view::npos || !win32::EnsureWinsock()) return false;
  const std::string s(text);
  in6_addr a{};
  return ::inet_pton(AF_INET6, s.c_str(), &a) == 1;
}

std::optional<uint32_t> ResolveIPv4(const std::string& host) {
  if (host.empty() || host.find('\0') != std::string::npos) return std::nullopt;
  if (auto a = ParseIPv4(host)) return a;
  if (!win32::EnsureWinsock()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return std::nullopt;
  std::optional<uint32_t> result;
  for (addrinfo* it = list; it; it = it->ai_next) {
    if (it->ai_family == AF_INET && it->ai_addr) {
      result = reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  ::freeaddrinfo(list);
  return result;
}

namespace win32 {

std::optional<uint32_t> BestDefaultGateway(std::span<const DefaultRoute> routes) {
  const DefaultRoute* best = nullptr;
  for (const auto& r : routes) {
    if (r.destination != 0 || r.mask != 0 || r.nextHop == 0) continue;
    if (!best || r.metric < best->metric) best = &r;
  }
  if (!best) return std::nullopt;
  return best->nextHop;
}

}  // namespace win32

std::optional<uint32_t> DefaultGatewayIPv4() {
  // The table grows between the size query and the read when routes change: ask again.
  std::vector<unsigned char> buffer;
  ULONG size = 0;
  DWORD rc = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 4 && rc == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.resize(size ? size : sizeof(MIB_IPFORWARDTABLE));
    size = static_cast<ULONG>(buffer.size());
    rc = ::GetIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data()), &size, FALSE);
  }
  if (rc != NO_ERROR) return std::nullopt;
  const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
  std::vector<win32::DefaultRoute> routes;
  routes.reserve(table->dwNumEntries);
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_IPFORWARDROW& row = table->table[i];
    routes.push_back({row.dwForwardDest, row.dwForwardMask, row.dwForwardNextHop, row.dwForwardMetric1});
  }
  return win32::BestDefaultGateway(routes);
}

// ---- WakeEvent ----
// A manual-reset event: waiting on it does not clear it (a probe's cancel stays raised);
// Consume clears it explicitly.

WakeEvent::WakeEvent()
    : handle_(reinterpret_cast<NativeHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
  if (handle_ == 0) handle_ = kNoHandle;
}

WakeEvent::~WakeEvent() {
  if (Valid()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void WakeEvent::Signal() noexcept {
  if (Valid()) ::SetEvent(reinterpret_cast<HANDLE>(handle_));
}

bool WakeEvent::Consume() noexcept {
  if (!Valid()) return false;
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0) return false;
  ::ResetEvent(h);
  return true;
}

// ---- UdpSocket ----

UdpSocket::~UdpSocket() { Close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = kNoHandle; }

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = kNoHandle;
  }
  return *this;
}

void UdpSocket::Close() noexcept {
  if (fd_ != kNoHandle) ::closesocket(static_cast<SOCKET>(fd_));
  fd_ = kNoHandle;
}

std::error_code UdpSocket::Open() {
  Close();
  if (!win32::EnsureWinsock()) return {WSANOTINITIALISED, std::system_category()};
  const SOCKET s = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return LastSocketError();
  // Without this, an ICMP "port unreachable" for an earlier datagram fails the next receive
  // with WSAECONNRESET; the POSIX side never reports those on an unconnected socket.
  BOOL off = FALSE;
  DWORD unused = 0;
  ::WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &unused, nullptr, nullptr);
  fd_ = static_cast<NativeHandle>(s);
  return {};
}

std::error_code UdpSocket::EnableBroadcast() {
  const BOOL on = TRUE;
  if (::setsockopt(static_cast<SOCKET>(fd_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0) {
    return LastSocketError();
  }
  return {};
}

std::error_code UdpSocket::Bind(uint32_t address, uint16_t port) {
  const sockaddr_in sa = MakeAddress(address, port);
  if (::bind(static_cast<SOCKET>(fd_), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    return LastSocketError();
  }
  return {};
}

std::error_code UdpSocket::LocalPort(uint16_t& port) const {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (::getsockname(static_cast<SOCKET>(fd_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    return LastSocketError();
  }
  port = ntohs(sa.sin_port);
  return {};
}

std::error_code UdpSocket::SendTo(uint32_t address, uint16_t port, std::span<const uint8_t> data) {
  if (data.size() > INT_MAX) return std::make_error_code(std::errc::message_size);
  const sockaddr_in sa = MakeAddress(address, port);
  if (::sendto(static_cast<SOCKET>(fd_), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
               0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
    return LastSocketError();
  }
  return {};
}

std::error_code UdpSocket::Receive(std::span<uint8_t> buffer, int timeoutMs, WakeEvent* wake,
                                   Received& out) {
  out = Received{};
  const SOCKET s = static_cast<SOCKET>(fd_);
  if (s == INVALID_SOCKET) return {WSAENOTSOCK, std::system_category()};
  const int size = buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(buffer.size());
  win32::UniqueHandle readable(::WSACreateEvent());
  if (!readable) return LastSocketError();
  // The socket is non-blocking while selected; it is made blocking again on the way out so
  // a send elsewhere behaves as before.
  struct Deselect {
    SOCKET s;
    ~Deselect() {
      ::WSAEventSelect(s, nullptr, 0);
      u_long blocking = 0;
      ::ioctlsocket(s, FIONBIO, &blocking);
    }
  };
  if (::WSAEventSelect(s, readable.get(), FD_READ) != 0) return LastSocketError();
  const Deselect deselect{s};
  const int64_t deadline = MonotonicMs() + timeoutMs;
  for (;;) {
    const HANDLE events[2] = {readable.get(), wake && wake->Valid() ? reinterpret_cast<HANDLE>(wake->Native()) : nullptr};
    const DWORD count = events[1] ? 2 : 1;
    const int64_t left = deadline - MonotonicMs();
    const DWORD wait = left <= 0 ? 0 : left >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left);
    const DWORD r = ::WaitForMultipleObjects(count, events, FALSE, wait);
    if (r == WAIT_FAILED) return win32::LastError();
    if (r == WAIT_TIMEOUT) {
      out.kind = ReceiveKind::kTimeout;
      return {};
    }
    // The wake is looked at first, as on the POSIX side, so a raised wake wins over a datagram.
    if (wake && wake->Consume()) {
      out.kind = ReceiveKind::kWoken;
      return {};
    }
    ::WSAResetEvent(readable.get());
    sockaddr_in from{};
    int fromLen = sizeof from;
    const int n = ::recvfrom(s, reinterpret_cast<char*>(buffer.data()), size, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error == WSAEMSGSIZE) {  // the rest of the datagram is already dropped
        out.kind = ReceiveKind::kTooLarge;
        out.from = from.sin_addr.s_addr;
        out.fromPort = ntohs(from.sin_port);
        return {};
      }
      // Nothing there after all (the event was stale), or an ICMP report of an earlier send.
      if (error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR) continue;
      return {error, std::system_category()};
    }
    out.from = from.sin_addr.s_addr;
    out.fromPort = ntohs(from.sin_port);
    out.kind = ReceiveKind::kDatagram;
    out.size = static_cast<size_t>(n);
    return {};
  }
}

// ---- ICMP echo ----

bool IcmpEcho(uint32_t address, std::span<const uint8_t> request, int timeoutMs) noexcept {
  if (request.size() < 8 || request[0] != 8 || request.size() > 0xFFFF + 8) return false;
  // The system writes the ICMP header itself (its own identifier and sequence) and matches
  // the reply: only the payload after the header is handed over.
  const auto payload = request.subspan(8);
  const HANDLE icmp = ::IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + payload.size() + 8 + 64);
  const DWORD n = ::IcmpSendEcho(icmp, address, const_cast<uint8_t*>(payload.data()),
                                 static_cast<WORD>(payload.size()), nullptr, reply.data(),
                                 static_cast<DWORD>(reply.size()), timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 1);
  ::IcmpCloseHandle(icmp);
  if (n == 0) return false;
  const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
  return echo->Status == IP_SUCCESS && echo->Address == address;
}

}  // namespace zent::platform
