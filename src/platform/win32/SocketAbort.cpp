// Windows: the tracked socket is duplicated (WSADuplicateSocketW into this same process),
// so the descriptor stays ours when the requester closes its own. An abort shuts the socket
// down, which ends a send or receive waiting on it, and cancels the I/O waiting on it, which
// ends a connect still being set up (Windows refuses to shut down an unconnected socket).
#include "platform/win32/Winsock.h"  // winsock2.h must come before windows.h

#include "platform/SocketAbort.h"

namespace zent::platform {
namespace {

constexpr NativeSocket kNone = static_cast<NativeSocket>(-1);

void End(NativeSocket own) noexcept {
  const SOCKET s = static_cast<SOCKET>(own);
  ::shutdown(s, SD_BOTH);
  ::CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
}

NativeSocket Duplicate(NativeSocket socket) noexcept {
  if (socket == kNone || !win32::EnsureWinsock()) return kNone;
  WSAPROTOCOL_INFOW info{};
  if (::WSADuplicateSocketW(static_cast<SOCKET>(socket), ::GetCurrentProcessId(), &info) != 0) return kNone;
  const SOCKET copy = ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                                   WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  return copy == INVALID_SOCKET ? kNone : static_cast<NativeSocket>(copy);
}

}  // namespace

SocketAbort::~SocketAbort() {
  if (own_ != kNone) ::closesocket(static_cast<SOCKET>(own_));
}

void SocketAbort::Track(NativeSocket socket) noexcept {
  std::lock_guard lock(mutex_);
  if (own_ != kNone) ::closesocket(static_cast<SOCKET>(own_));
  own_ = Duplicate(socket);
  if (aborted_ && own_ != kNone) End(own_);
}

void SocketAbort::Abort() noexcept {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  if (own_ != kNone) End(own_);
}

bool SocketAbort::Aborted() const noexcept {
  std::lock_guard lock(mutex_);
  return aborted_;
}

}  // namespace zent::platform
