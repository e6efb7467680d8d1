// Winsock for the test fixtures; WSAStartup once per process (never cleaned up: other
// fixtures may still hold sockets while the process ends).
#include "support/TestSockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace zent::testing {
namespace {

void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

sockaddr_in Address(const std::string& address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
  return sa;
}

}  // namespace

TestSocket OpenTcpSocket(bool nonBlocking) {
  StartWinsock();
  // WSA_FLAG_NO_HANDLE_INHERIT: not inherited by the programs a test starts.
  const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return kNoSocket;
  if (nonBlocking) {
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
  }
  return static_cast<TestSocket>(s);
}

uint16_t BindAndListen(TestSocket socket, const std::string& address, uint16_t port, int backlog,
                       bool reuse) {
  const SOCKET s = static_cast<SOCKET>(socket);
  if (reuse) {
    const BOOL on = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  }
  sockaddr_in sa = Address(address, port);
  int size = sizeof sa;
  if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(s, backlog == kLargestBacklog ? SOMAXCONN : backlog) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
    return 0;
  }
  return ntohs(sa.sin_port);
}

void StartConnect(TestSocket socket, const std::string& address, uint16_t port) {
  const sockaddr_in sa = Address(address, port);
  ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

void CloseSocket(TestSocket socket) {
  if (socket != kNoSocket) ::closesocket(static_cast<SOCKET>(socket));
}

}  // namespace zent::testing
