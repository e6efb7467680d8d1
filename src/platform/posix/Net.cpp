// POSIX/Linux: IPv4 sockets with poll() so a receive can also wait on an eventfd that
// another thread raises; the gateway from /proc/net/route; ICMP echo through an
// unprivileged ICMP datagram socket, falling back to a raw socket (needs CAP_NET_RAW).
#include "platform/Net.h"
#include "platform/Clock.h"
#include "platform/posix/UniqueFd.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/posix/RouteTable.h"

namespace zent::platform {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  sa.sin_port = htons(port);
  return sa;
}

}  // namespace

std::optional<uint32_t> ParseIPv4(std::string_view text) {
  // inet_aton needs a terminated string and accepts what inet_addr accepts, including
  // 255.255.255.255, which inet_addr cannot tell from a failure.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string s(text);
  in_addr a{};
  if (::inet_aton(s.c_str(), &a) == 0) return std::nullopt;
  return a.s_addr;
}

std::string IPv4Text(uint32_t address) {
  char buf[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = address;
  ::inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

bool IsIPv6Text(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  const std::string s(text);
  in6_addr a{};
  return ::inet_pton(AF_INET6, s.c_str(), &a) == 1;
}

std::optional<uint32_t> ResolveIPv4(const std::string& host) {
  if (host.empty() || host.find('\0') != std::string::npos) return std::nullopt;
  if (auto a = ParseIPv4(host)) return a;
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

namespace posix {

std::optional<uint32_t> ParseDefaultGateway(std::string_view table) {
  auto hex32 = [](std::string_view t, uint32_t& v) {
    if (t.size() != 8) return false;
    v = 0;
    for (char c : t) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    return true;
  };
  size_t pos = 0;
  bool header = true;
  while (pos < table.size()) {
    size_t end = table.find('\n', pos);
    if (end == std::string_view::npos) end = table.size();
    const std::string_view line = table.substr(pos, end - pos);
    pos = end + 1;
    if (header) {  // "Iface Destination Gateway Flags ..."
      header = false;
      continue;
    }
    // Fields are separated by tabs and blanks: Iface, Destination, Gateway, ...
    std::string_view fields[3];
    size_t n = 0, i = 0;
    while (n < 3 && i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
      const size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      if (i > start) fields[n++] = line.substr(start, i - start);
    }
    uint32_t dest = 0, gw = 0;
    if (n < 3 || !hex32(fields[1], dest) || !hex32(fields[2], gw)) continue;
    if (dest != 0) continue;
    // The printed number is the address as a little-endian word: its low byte comes first.
    const uint8_t bytes[4] = {static_cast<uint8_t>(gw), static_cast<uint8_t>(gw >> 8),
                              static_cast<uint8_t>(gw >> 16), static_cast<uint8_t>(gw >> 24)};
    uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
  }
  return std::nullopt;
}

}  // namespace posix

std::optional<uint32_t> DefaultGatewayIPv4() {
  try {
    std::ifstream in("/proc/net/route");
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return posix::ParseDefaultGateway(text.str());
  } catch (...) {
    return std::nullopt;  // unreadable table: the caller treats it as no gateway
  }
}

// ---- WakeEvent ----

WakeEvent::WakeEvent() : handle_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
  if (handle_ >= 0) ::close(handle_);
}

void WakeEvent::Signal() noexcept {
  if (handle_ < 0) return;
  const uint64_t one = 1;
  // EAGAIN only when the counter is full, which still leaves it raised.
  [[maybe_unused]] ssize_t n = ::write(handle_, &one, sizeof one);
}

bool WakeEvent::Consume() noexcept {
  if (handle_ < 0) return false;
  uint64_t value = 0;
  return ::read(handle_, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

// ---- UdpSocket ----

UdpSocket::~UdpSocket() { Close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void UdpSocket::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::error_code UdpSocket::Open() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return fd_ < 0 ? LastError() : std::error_code{};
}

std::error_code UdpSocket::EnableBroadcast() {
  const int on = 1;
  if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return LastError();
  return {};
}

std::error_code UdpSocket::Bind(uint32_t address, uint16_t port) {
  const sockaddr_in sa = MakeAddress(address, port);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return LastError();
  return {};
}

std::error_code UdpSocket::LocalPort(uint16_t& port) const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return LastError();
  port = ntohs(sa.sin_port);
  return {};
}

std::error_code UdpSocket::SendTo(uint32_t address, uint16_t port, std::span<const uint8_t> data) {
  const sockaddr_in sa = MakeAddress(address, port);
  for (;;) {
    const ssize_t n = ::sendto(fd_, data.data(), data.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (n >= 0) return {};
    if (errno != EINTR) return LastError();
  }
}

std::error_code UdpSocket::Receive(std::span<uint8_t> buffer, int timeoutMs, WakeEvent* wake,
                                   Received& out) {
  out = Received{};
  const int64_t deadline = MonotonicMs() + timeoutMs;
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake ? wake->Native() : -1, POLLIN, 0}};
    const int64_t left = deadline - MonotonicMs();
    const int r = ::poll(fds, wake && wake->Valid() ? 2 : 1, left > 0 ? static_cast<int>(left) : 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (r == 0) {
      out.kind = ReceiveKind::kTimeout;
      return {};
    }
    if (wake && (fds[1].revents & POLLIN)) {
      wake->Consume();
      out.kind = ReceiveKind::kWoken;
      return {};
    }
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    // MSG_TRUNC makes the call return the datagram's full length, so an oversized one is
    // recognised (and dropped whole) instead of being read as its first bytes.
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return LastError();
    }
    out.from = from.sin_addr.s_addr;
    out.fromPort = ntohs(from.sin_port);
    if (static_cast<size_t>(n) > buffer.size()) {
      out.kind = ReceiveKind::kTooLarge;
    } else {
      out.kind = ReceiveKind::kDatagram;
      out.size = static_cast<size_t>(n);
    }
    return {};
  }
}

// ---- ICMP echo ----

bool IcmpEcho(uint32_t address, std::span<const uint8_t> request, int timeoutMs) noexcept {
  if (request.size() < 8 || request[0] != 8) return false;
  bool raw = false;
  UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
  UniqueFd rawSock(sock.get() < 0 ? ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP) : -1);
  const int fd = sock.get() >= 0 ? sock.get() : rawSock.get();
  if (fd < 0) return false;
  raw = sock.get() < 0;

  const sockaddr_in to = MakeAddress(address, 0);
  if (::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    return false;
  }
  // A datagram socket gets its own identifier from the kernel and sees only its replies;
  // a raw socket sees every ICMP message, so the reply is matched by address, id and sequence.
  const uint8_t idHi = request[4], idLo = request[5], seqHi = request[6], seqLo = request[7];
  const int64_t deadline = MonotonicMs() + timeoutMs;
  uint8_t buf[1024];
  for (;;) {
    const int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = ::recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    size_t off = 0;
    if (raw) {
      if (n < 20) continue;
      off = static_cast<size_t>(buf[0] & 0x0F) * 4;
      if (off < 20) continue;
    }
    if (static_cast<size_t>(n) < off + 8) continue;
    const uint8_t* icmp = buf + off;
    if (icmp[0] != 0 || from.sin_addr.s_addr != address) continue;  // not an echo reply from there
    if (icmp[6] != seqHi || icmp[7] != seqLo) continue;
    if (raw && (icmp[4] != idHi || icmp[5] != idLo)) continue;
    return true;
  }
}

}  // namespace zent::platform
