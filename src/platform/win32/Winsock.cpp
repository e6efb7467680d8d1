// Winsock start-up: once per process; the library stays up until the process ends (no
// WSACleanup, which would pull sockets from under threads still ending).
#include "platform/win32/Winsock.h"

namespace zent::platform::win32 {

bool EnsureWinsock() noexcept {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace zent::platform::win32
