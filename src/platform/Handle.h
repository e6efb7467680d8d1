// Handles the system gives for open files, sockets and pipes, as the modules above the
// platform layer see them: opaque values. A module never reads, writes or closes one itself;
// it hands it back to the platform object that made it, or gives it to its event loop to
// learn when there is something to read (`ReadableHandle::EventLoopSocket`, the one accessor
// an event loop's notifier is built from).
// Contract: nothing here calls the system; a handle is only valid while its owner lives.
#pragma once

#include <cstdint>

namespace zent::platform {

#ifdef _WIN32
using NativeHandle = std::uintptr_t;  // a SOCKET (notices, channels, the end-request pair) or a HANDLE
#else
using NativeHandle = int;  // a file descriptor
#endif
inline constexpr NativeHandle kNoHandle = static_cast<NativeHandle>(-1);

// A handle to watch for "ready to read", owned by the object that gave it out.
class ReadableHandle {
 public:
  constexpr ReadableHandle() = default;
  constexpr explicit ReadableHandle(NativeHandle native) : native_(native) {}

  constexpr bool Valid() const noexcept { return native_ != kNoHandle; }
  // For the platform layer's implementation files.
  constexpr NativeHandle Native() const noexcept { return native_; }
  // What an event loop watches: Qt builds its notifier as
  //   QSocketNotifier(handle.EventLoopSocket(), QSocketNotifier::Read)
  // and nothing else above the platform layer looks at the value. Every readable handle the
  // layer gives out is a socket (or, on POSIX, a pipe), which is what that notifier takes.
  std::intptr_t EventLoopSocket() const noexcept { return static_cast<std::intptr_t>(native_); }

  friend constexpr bool operator==(ReadableHandle, ReadableHandle) = default;

 private:
  NativeHandle native_ = kNoHandle;
};

}  // namespace zent::platform
