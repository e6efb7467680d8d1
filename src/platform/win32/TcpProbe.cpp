// Windows: a non-blocking connect whose completion (FD_CONNECT) is awaited beside the cancel
// event; name lookups on a thread of their own, which a cancelled caller leaves behind: the
// thread finishes the lookup, drops its result and frees what it shares with the caller.
#include "platform/win32/Winsock.h"  // winsock2.h must come before windows.h

#include "platform/TcpProbe.h"
#include "platform/win32/UniqueHandle.h"

#include <chrono>
#include <memory>
#include <thread>

namespace zent::platform {
namespace {

using Clock = std::chrono::steady_clock;

bool Raised(const WakeEvent* event) {
  return event && event->Valid() &&
         ::WaitForSingleObject(reinterpret_cast<HANDLE>(event->Native()), 0) == WAIT_OBJECT_0;
}

// What the asking thread and the lookup thread share; the last one to let go frees it.
struct Lookup {
  std::optional<uint32_t> result;
  win32::UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

ConnectResult TcpConnectTest(uint32_t address, uint16_t port, uint32_t timeoutMs,
                             const WakeEvent* cancel) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!win32::EnsureWinsock()) return ConnectResult::kError;
  const win32::UniqueSocket s(
      ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
  if (s.get() == INVALID_SOCKET) return ConnectResult::kUnconnected;
  win32::UniqueHandle connected(::WSACreateEvent());
  // Selecting the event also makes the socket non-blocking.
  if (!connected || ::WSAEventSelect(s.get(), connected.get(), FD_CONNECT) != 0) return ConnectResult::kError;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address;
  if (::connect(s.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return ConnectResult::kConnected;
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return ConnectResult::kUnconnected;
  const HANDLE events[2] = {connected.get(), cancel && cancel->Valid() ? reinterpret_cast<HANDLE>(cancel->Native()) : nullptr};
  const DWORD count = events[1] ? 2 : 1;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const DWORD wait = left <= 0 ? 0 : left >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left);
    const DWORD r = ::WaitForMultipleObjects(count, events, FALSE, wait);
    if (r == WAIT_FAILED) return ConnectResult::kError;
    if (Raised(cancel)) return ConnectResult::kCancelled;
    if (r == WAIT_TIMEOUT) return ConnectResult::kUnconnected;
    WSANETWORKEVENTS happened{};
    if (::WSAEnumNetworkEvents(s.get(), connected.get(), &happened) != 0) return ConnectResult::kError;
    if (happened.lNetworkEvents & FD_CONNECT) {
      // A refusal or an unreachable network is reported here as soon as the system knows.
      return happened.iErrorCode[FD_CONNECT_BIT] == 0 ? ConnectResult::kConnected : ConnectResult::kUnconnected;
    }
  }
}

std::optional<uint32_t> ResolveIPv4Cancellable(const std::string& host, const WakeEvent& cancel) {
  if (host.empty() || host.find('\0') != std::string::npos) return std::nullopt;
  if (auto a = ParseIPv4(host)) return a;
  // Already cancelled: ask nobody.
  if (Raised(&cancel) || !cancel.Valid()) return std::nullopt;
  std::shared_ptr<Lookup> lookup;
  try {
    lookup = std::make_shared<Lookup>();
    if (!lookup->done) return std::nullopt;
    // The system's resolver keeps its own time limits and cannot be stopped from outside;
    // the thread is let go so a cancel never waits for it.
    std::thread([lookup, host] {
      lookup->result = ResolveIPv4(host);
      ::SetEvent(lookup->done.get());
    }).detach();
  } catch (...) {
    return std::nullopt;  // no memory or no thread: no lookup was made
  }
  const HANDLE events[2] = {lookup->done.get(), reinterpret_cast<HANDLE>(cancel.Native())};
  const DWORD r = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
  if (r != WAIT_OBJECT_0 || Raised(&cancel)) return std::nullopt;
  return lookup->result;  // written before the event was set
}

}  // namespace zent::platform
