// The POSIX part of the platform tests' helpers: arguments from /proc, FIFOs as ready
// signals, and the child actions about sessions, descriptors, signals and users.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "../TestSupport.h"
#include "platform/EndSignals.h"
#include "platform/Registry.h"

namespace zent::platform::testing {

int CheckWriteDenied() {
  const auto denied = std::make_error_code(std::errc::permission_denied);
  RegistryKey key;
  if (RegistryKey::Create(RegRoot::LocalMachine, "SOFTWARE\\ZENT", key) != denied) return 51;
  if (RegistryKey::Create(RegRoot::LocalMachine, "SOFTWARE\\New", key) != denied) return 52;
  if (RegistryKey::Open(RegRoot::LocalMachine, "SOFTWARE\\ZENT", true, key) != denied) return 53;
  if (RegistryKey::Open(RegRoot::LocalMachine, "SOFTWARE\\ZENT", false, key)) return 54;
  std::string value;
  if (key.ReadString("A", value) || value != "1") return 55;
  if (key.WriteString("A", "2") != denied) return 56;
  return 0;
}

namespace system {

std::vector<std::string> OwnArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> args;
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  if (!args.empty()) args.erase(args.begin());
  return args;
}

void SetEnv(const std::string& name, const char* value) {
  if (value) ::setenv(name.c_str(), value, 1);
  else ::unsetenv(name.c_str());
}

void SignalReady(const std::string& fifo) {
  const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) ::_exit(90);
  if (::write(fd, "R", 1) != 1) ::_exit(91);
  ::close(fd);
}

void ParkUntilKilled() {
  ::alarm(120);  // a child whose parent died must not linger for ever
  for (;;) ::pause();
}

void RemoveUserRegistryKey(const std::string&) {}

void RunChild(const std::string& action, const std::vector<std::string>& a) {
  auto arg = [&](size_t i) -> const std::string& {
    if (i >= a.size()) ::_exit(99);
    return a[i];
  };
  if (action == "session") ::_exit(::getsid(0) == ::getpid() ? 0 : 1);
  if (action == "fdclosed") ::_exit(::fcntl(std::atoi(arg(0).c_str()), F_GETFD) == -1 ? 0 : 1);
  if (action == "endsignals") {
    // The first request arrives on the pipe; the second ends the process by the signal.
    ReadableHandle pending;
    if (CatchEndSignals(pending) || !pending.Valid()) ::_exit(60);
    if (TakeEndSignal(pending) != 0) ::_exit(61);
    ::raise(SIGTERM);
    if (TakeEndSignal(pending) != SIGTERM || TakeEndSignal(pending) != 0) ::_exit(62);
    ReadableHandle again;
    if (CatchEndSignals(again) || again != pending) ::_exit(63);
    ::raise(SIGINT);
    ::_exit(64);
  }
  if (action == "regwrite") {
    // prefix count: writes prefix<i> = i into HKCU SOFTWARE\ZENT\Concurrent
    const std::string& prefix = arg(0);
    const int count = std::atoi(arg(1).c_str());
    for (int i = 0; i < count; ++i) {
      RegistryKey key;
      if (RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT\\Concurrent", key)) ::_exit(3);
      if (key.WriteDword(prefix + std::to_string(i), static_cast<uint32_t>(i))) ::_exit(4);
    }
    ::_exit(0);
  }
  if (action == "regdenied") {
    // Run as an unprivileged user against a machine hive in a folder owned by root.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(50);
    ::_exit(CheckWriteDenied());
  }
  ::_exit(98);
}

}  // namespace system

ReadySignal::ReadySignal(const std::string& path) : path_(path) {
  ::unlink(path.c_str());
  if (::mkfifo(path.c_str(), 0600) == 0) {
    // Non-blocking, so opening does not wait for the writer and the wait below can time out.
    handle_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
}

ReadySignal::~ReadySignal() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  ::unlink(path_.c_str());
}

bool ReadySignal::Wait() {
  if (handle_ < 0) return false;
  pollfd pfd{static_cast<int>(handle_), POLLIN, 0};
  for (;;) {
    const int n = ::poll(&pfd, 1, static_cast<int>(Child::kGuardMs));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    char c = 0;
    return ::read(static_cast<int>(handle_), &c, 1) == 1 && c == 'R';
  }
}

}  // namespace zent::platform::testing
