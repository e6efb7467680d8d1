// Ends a network request that another thread is waiting on, in whatever phase it is: the
// connection being set up, the request being sent, or the answer being awaited.
// The requesting thread reports each socket it makes (before connecting it) with Track();
// any thread may call Abort(), which returns at once and never waits for the requesting
// thread. After Abort() every socket tracked later is ended as soon as it is reported.
// Contract: nothing throws. When no own reference to a socket can be taken (no descriptor
// left), Abort() cannot reach it and the request ends at its own time-outs instead.
#pragma once

#include <cstdint>
#include <mutex>

namespace zent::platform {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

class SocketAbort {
 public:
  SocketAbort() = default;
  ~SocketAbort();
  SocketAbort(const SocketAbort&) = delete;
  SocketAbort& operator=(const SocketAbort&) = delete;

  // The socket the request uses from now on (the previous one is let go). Keeps its own
  // reference, so a socket the requester has already closed is never mistaken for another.
  void Track(NativeSocket socket) noexcept;
  // Shuts the tracked socket down in both directions: a connect, send or receive waiting on
  // it fails at once.
  void Abort() noexcept;
  bool Aborted() const noexcept;

 private:
  mutable std::mutex mutex_;
  NativeSocket own_ = static_cast<NativeSocket>(-1);
  bool aborted_ = false;
};

}  // namespace zent::platform
