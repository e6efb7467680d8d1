// POSIX/Linux: a non-blocking connect awaited with poll() beside the cancel eventfd; name
// lookups through glibc's getaddrinfo_a, whose completion raises an eventfd of its own, so
// the waiting thread can leave at once when cancelled.
#include "platform/TcpProbe.h"
#include "platform/posix/UniqueFd.h"

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <climits>
#include <chrono>
#include <cstring>

// The thread sanitizer's name differs between compilers.
#if defined(__SANITIZE_THREAD__)
#define ZENT_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZENT_TSAN 1
#endif
#endif
#ifndef ZENT_TSAN
#define ZENT_TSAN 0
#endif

namespace zent::platform {
namespace {

using Clock = std::chrono::steady_clock;

enum class WaitOutcome { kReady, kTimeout, kCancelled, kError };

// Waits until `fd` shows `events`, the deadline passes or `cancel` is raised.
WaitOutcome WaitFor(int fd, short events, Clock::time_point deadline, const WakeEvent* cancel) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {cancel ? cancel->Native() : -1, POLLIN, 0}};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // A far deadline waits without limit (-1) rather than overflowing poll's int.
    const int wait = left > INT_MAX ? -1 : left > 0 ? static_cast<int>(left) : 0;
    const int rc = ::poll(fds, 2, wait);
    if (rc < 0) {
      if (errno == EINTR) continue;
      return WaitOutcome::kError;
    }
    if (fds[1].revents & POLLIN) return WaitOutcome::kCancelled;
    if (fds[0].revents) return WaitOutcome::kReady;
    if (left <= 0) return WaitOutcome::kTimeout;
  }
}

// One lookup shared by the asking thread and the resolver's notification; whichever lets
// go last frees it, so a cancelled caller need not wait for the resolver.
struct Lookup {
  std::atomic<int> refs{2};
  std::string host;
  addrinfo hints{};
  gaicb request{};
  WakeEvent done;

  void Release() noexcept {
    if (refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (request.ar_result) ::freeaddrinfo(request.ar_result);
    delete this;
  }
};

// Runs on a thread of the resolver's own; it only raises the event and lets go.
void LookupDone(sigval value) {
  auto* lookup = static_cast<Lookup*>(value.sival_ptr);
  lookup->done.Signal();
  lookup->Release();
}

}  // namespace

ConnectResult TcpConnectTest(uint32_t address, uint16_t port, uint32_t timeoutMs,
                             const WakeEvent* cancel) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return ConnectResult::kUnconnected;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
    return ConnectResult::kConnected;
  }
  if (errno != EINPROGRESS && errno != EINTR) return ConnectResult::kUnconnected;
  switch (WaitFor(fd.get(), POLLOUT, deadline, cancel)) {
    case WaitOutcome::kTimeout: return ConnectResult::kUnconnected;
    case WaitOutcome::kCancelled: return ConnectResult::kCancelled;
    case WaitOutcome::kError: return ConnectResult::kError;
    case WaitOutcome::kReady: break;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return ConnectResult::kError;
  return error == 0 ? ConnectResult::kConnected : ConnectResult::kUnconnected;
}

std::optional<uint32_t> ResolveIPv4Cancellable(const std::string& host, const WakeEvent& cancel) {
  if (host.empty() || host.find('\0') != std::string::npos) return std::nullopt;
  if (auto a = ParseIPv4(host)) return a;
  // Already cancelled: ask nobody.
  if (WaitFor(cancel.Native(), POLLIN, Clock::now(), nullptr) != WaitOutcome::kTimeout) return std::nullopt;
#if ZENT_TSAN
  // ThreadSanitizer cannot follow code run on the resolver's own threads: look up in place.
  return ResolveIPv4(host);
#endif
  auto* lookup = new Lookup;
  lookup->host = host;
  lookup->hints.ai_family = AF_INET;
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->request.ar_name = lookup->host.c_str();
  lookup->request.ar_request = &lookup->hints;
  if (!lookup->done.Valid()) {
    delete lookup;
    return std::nullopt;
  }
  sigevent notify{};
  notify.sigev_notify = SIGEV_THREAD;
  notify.sigev_notify_function = LookupDone;
  notify.sigev_value.sival_ptr = lookup;
  gaicb* list[1] = {&lookup->request};
  if (::getaddrinfo_a(GAI_NOWAIT, list, 1, &notify) != 0) {
    delete lookup;  // never queued: no notification will come
    return std::nullopt;
  }
  std::optional<uint32_t> result;
  // The resolver keeps its own time limits; the wait only ends early when cancelled.
  const auto outcome = WaitFor(lookup->done.Native(), POLLIN, Clock::time_point::max(), &cancel);
  if (outcome == WaitOutcome::kReady && ::gai_error(&lookup->request) == 0) {
    for (const addrinfo* it = lookup->request.ar_result; it; it = it->ai_next) {
      if (it->ai_family == AF_INET && it->ai_addr) {
        result = reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
        break;
      }
    }
  }
  lookup->Release();
  return result;
}

}  // namespace zent::platform
