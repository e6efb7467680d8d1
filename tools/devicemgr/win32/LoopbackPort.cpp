// The stand-in's port on Windows: a Winsock socket, not inherited by other programs. Unlike
// Linux, SO_REUSEADDR here would let a second process take a port already in use, so the
// port is bound exclusively.
#include <winsock2.h>
#include <windows.h>

#include "LoopbackPort.h"

#include <cstdio>

namespace zent::devicemgr {

bool ServeLoopbackPort(uint16_t port) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::fprintf(stderr, "DeviceManager: Winsock cannot start\n");
    return false;
  }
  const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  const BOOL on = TRUE;
  if (s != INVALID_SOCKET) {
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(s, 16) != 0) {
    std::fprintf(stderr, "DeviceManager: port %u: Winsock error %d\n", port, ::WSAGetLastError());
    return false;
  }
  for (;;) {
    const SOCKET c = ::accept(s, nullptr, nullptr);
    if (c != INVALID_SOCKET) ::closesocket(c);
  }
}

void WaitForever() {
  for (;;) ::Sleep(INFINITE);
}

}  // namespace zent::devicemgr
