#include "TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/AnsiCodePage.h"
#include "platform/EndSignals.h"
#include "platform/NamedLock.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace zent::platform::testing {
namespace {

constexpr const char* kChildVar = "ZENT_TEST_CHILD";

std::vector<std::string> OwnArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> args;
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  if (!args.empty()) args.erase(args.begin());
  return args;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

void SignalReady(const std::string& fifo) {
  const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) ::_exit(90);
  if (::write(fd, "R", 1) != 1) ::_exit(91);
  ::close(fd);
}

[[noreturn]] void ParkUntilKilled() {
  ::alarm(120);  // a child whose parent died must not linger for ever
  for (;;) ::pause();
}

}  // namespace

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

namespace {

// Child actions. Each ends the process with an exit code the tests check.
[[noreturn]] void RunChild(const std::string& action, const std::vector<std::string>& a) {
  auto arg = [&](size_t i) -> const std::string& {
    if (i >= a.size()) ::_exit(99);
    return a[i];
  };
  if (action == "exit") ::_exit(std::atoi(arg(0).c_str()));
  if (action == "sleep") ParkUntilKilled();
  if (action == "args") {
    std::string joined;
    for (size_t i = 1; i < a.size(); ++i) joined += a[i] + "\n";
    ::_exit(WriteFile(arg(0), joined) ? 0 : 1);
  }
  if (action == "cwd") {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    ::_exit(!ec && WriteFile(arg(0), cwd.string()) ? 0 : 1);
  }
  if (action == "session") ::_exit(::getsid(0) == ::getpid() ? 0 : 1);
  if (action == "fdclosed") ::_exit(::fcntl(std::atoi(arg(0).c_str()), F_GETFD) == -1 ? 0 : 1);
  if (action == "hold" || action == "lock") {
    NamedLock lock(arg(0));
    const std::error_code ec = action == "hold" ? lock.Hold() : lock.Lock(kInfinite);
    if (ec) ::_exit(2);
    SignalReady(arg(1));
    ParkUntilKilled();
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
  if (action == "ansiatexit") {
    // A static object's destructor converts after the main thread's thread-locals are gone,
    // as the log's end banner does; it writes both directions' results to the file.
    struct LateConversion {
      std::string path;
      ~LateConversion() {
        WriteFile(path, Utf8ToAnsi("\xE4\xB8\xAD" "x") + "|" + AnsiToUtf8("\xD6\xD0"));
      }
    };
    static LateConversion late{arg(0)};
    if (Utf8ToAnsi("a") != "a" || AnsiToUtf8("a") != "a") ::_exit(70);  // the thread's pair exists
    std::exit(0);
  }
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
  if (action == "regdenied") {
    // Run as an unprivileged user against a machine hive in a folder owned by root.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(50);
    ::_exit(CheckWriteDenied());
  }
  ::_exit(98);
}

// Runs before main: a child copy never reaches the test runner.
[[maybe_unused]] const bool kChildDispatched = [] {
  const char* action = std::getenv(kChildVar);
  if (!action || !*action) return false;
  const std::string name = action;
  ::unsetenv(kChildVar);
  RunChild(name, OwnArguments());
}();

}  // namespace

TempDir::TempDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  path_ = std::string(ZENT_TEST_TMP_DIR) + "/" + name + "." + std::to_string(::getpid());
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value) ::setenv(name, value, 1);
  else ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
  else ::unsetenv(name_.c_str());
}

ReadySignal::ReadySignal(const std::string& path) : path_(path) {
  ::unlink(path.c_str());
  if (::mkfifo(path.c_str(), 0600) == 0) {
    // Non-blocking, so opening does not wait for the writer and the wait below can time out.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
}

ReadySignal::~ReadySignal() {
  if (fd_ >= 0) ::close(fd_);
  ::unlink(path_.c_str());
}

bool ReadySignal::Wait() {
  if (fd_ < 0) return false;
  pollfd pfd{fd_, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&pfd, 1, static_cast<int>(Child::kGuardMs));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    char c = 0;
    return ::read(fd_, &c, 1) == 1 && c == 'R';
  }
}

Child::Child(const std::string& action, const std::vector<std::string>& args,
             const SpawnOptions& options) {
  ScopedEnv env(kChildVar, action.c_str());
  const std::error_code ec = SpawnProcess(ExecutablePath(), args, options, pid_);
  if (ec) {
    ADD_FAILURE() << "cannot start the child: " << ec.message();
    pid_ = 0;
  }
}

Child::~Child() { Kill(); }

std::optional<int> Child::Wait(uint32_t timeoutMs) {
  if (!pid_) return std::nullopt;
  auto code = WaitProcess(pid_, timeoutMs);
  if (code) pid_ = 0;
  return code;
}

void Child::Kill() {
  if (!pid_) return;
  TerminateProcess(pid_);
  WaitProcess(pid_, kGuardMs);
  pid_ = 0;
}

}  // namespace zent::platform::testing
