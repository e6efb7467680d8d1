// Winsock for the Windows implementation files only: the library started once for the
// process, and the last socket error as a std::error_code.
#pragma once

#include <winsock2.h>

#include <system_error>

namespace zent::platform::win32 {

// Starts Winsock 2.2 the first time it is called (from any thread); true when it is usable.
// Every function that makes a socket calls it first, so no start-up order is needed.
bool EnsureWinsock() noexcept;

inline std::error_code LastSocketError() { return {::WSAGetLastError(), std::system_category()}; }

// A socket closed on every way out of its scope.
class UniqueSocket {
 public:
  explicit UniqueSocket(SOCKET s = INVALID_SOCKET) : s_(s) {}
  ~UniqueSocket() {
    if (s_ != INVALID_SOCKET) ::closesocket(s_);
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  SOCKET get() const { return s_; }

 private:
  SOCKET s_;
};

}  // namespace zent::platform::win32
