// POSIX: a self-pipe. The handler writes the signal number (one byte) to the pipe's write end;
// both ends are non-blocking and closed on exec, so a full pipe drops a byte rather than
// blocking a handler, and started programs inherit neither the pipe nor the handlers.
#include "platform/EndSignals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace zent::platform {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_readFd = -1;
std::atomic<int> g_writeFd{-1};
std::atomic<bool> g_pending{false};

void OnEndSignal(int signalNumber) {
  const int savedErrno = errno;
  if (g_pending.exchange(true)) {
    // Asked again before the first request was taken through to the end: the system's way.
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
  } else {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A failed write (cannot happen on an empty pipe) leaves the request unseen; nothing else
    // is safe to do in a handler.
    [[maybe_unused]] const ssize_t n = ::write(g_writeFd.load(), &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

std::error_code CatchEndSignals(ReadableHandle& pending) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  if (g_readFd < 0) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return {errno, std::system_category()};
    g_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kEndSignals) sigaddset(&action.sa_mask, s);  // one handler at a time
    action.sa_flags = SA_RESTART;
    for (int s : kEndSignals) {
      if (::sigaction(s, &action, nullptr) != 0) return {errno, std::system_category()};
    }
  }
  pending = ReadableHandle(g_readFd);
  return {};
}

int TakeEndSignal(ReadableHandle pending) {
  unsigned char byte = 0;
  const ssize_t n = ::read(pending.Native(), &byte, 1);
  return n == 1 ? byte : 0;
}

const char* EndSignalName(int signalNumber, char (&buffer)[24]) {
  switch (signalNumber) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: std::snprintf(buffer, sizeof buffer, "signal %d", signalNumber); return buffer;
  }
}

}  // namespace zent::platform
