// POSIX: the process list is /proc/<pid>/exe; a process is ended with SIGKILL, started
// with posix_spawn (never a shell) and awaited through a pidfd, which gives a real timed
// wait without a SIGCHLD handler. The child keeps none of our descriptors beyond 0-2.
#include "platform/Process.h"
#include "platform/posix/UniqueFd.h"

#include <dirent.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace zent::platform {
namespace {

constexpr uint32_t kForever = 0xFFFFFFFFu;

// Ids come in as 32-bit values from callers; 0 and anything that turns negative as a
// pid_t would address a process group or every process, never one process.
bool IsSinglePid(uint32_t pid) { return pid > 0 && pid <= static_cast<uint32_t>(INT_MAX); }

std::optional<std::string> ReadLink(const std::string& path) {
  std::string buf(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) return std::nullopt;
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      return buf;
    }
    if (buf.size() >= 65536) return std::nullopt;
    buf.resize(buf.size() * 2);
  }
}

// Through syscall(): glibc 2.36 declares pidfd_open without C linkage for C++.
int PidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Exit status as one number: the exit code, or 128 + signal for a child ended by a
// signal (the shell's convention, so a killed child never reads as success).
int ExitCodeOf(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return info.si_status;
  return 128 + info.si_status;
}

// Kernels before 5.3 have no pidfd: look for the child's end in short slices.
std::optional<int> WaitBySlices(pid_t pid, uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG) != 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (info.si_pid != 0) return ExitCodeOf(info);
    if (timeoutMs != kForever && std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The program and its arguments as the NULL-terminated array exec and spawn take.
class ArgumentVector {
 public:
  ArgumentVector(const std::string& program, const std::vector<std::string>& args) {
    storage_.reserve(args.size() + 1);
    storage_.push_back(program);
    storage_.insert(storage_.end(), args.begin(), args.end());
    pointers_.reserve(storage_.size() + 1);
    for (auto& s : storage_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
  }
  char** data() { return pointers_.data(); }

 private:
  std::vector<std::string> storage_;
  std::vector<char*> pointers_;
};

}  // namespace

uint32_t CurrentProcessId() noexcept { return static_cast<uint32_t>(::getpid()); }

uint32_t CurrentThreadId() noexcept { return static_cast<uint32_t>(::gettid()); }

uint32_t EffectiveUserId() noexcept { return static_cast<uint32_t>(::geteuid()); }

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

std::error_code SetEnvironmentValue(const std::string& name, const std::string& value) {
  if (::setenv(name.c_str(), value.c_str(), 1) != 0) return {errno, std::system_category()};
  return {};
}

std::error_code ResetEnvironment(const std::string& path) {
  if (::clearenv() != 0 || ::setenv("PATH", path.c_str(), 1) != 0) return {errno, std::system_category()};
  ::umask(022);
  return {};
}

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> list;
  DIR* dir = ::opendir("/proc");
  if (!dir) return list;
  while (const dirent* e = ::readdir(dir)) {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid == 0 || pid > INT_MAX) {
      continue;
    }
    // Kernel threads, vanished processes and other users' processes have no readable
    // link; they are skipped on purpose.
    if (auto path = ProcessExePath(static_cast<uint32_t>(pid))) {
      list.push_back({static_cast<uint32_t>(pid), std::move(*path)});
    }
  }
  ::closedir(dir);
  return list;
}

std::optional<std::string> ProcessExePath(uint32_t pid) {
  if (!IsSinglePid(pid)) return std::nullopt;
  // A " (deleted)" suffix is left as the kernel writes it: it is that process's path.
  auto path = ReadLink("/proc/" + std::to_string(pid) + "/exe");
  if (path && path->empty()) return std::nullopt;
  return path;
}

bool TerminateProcess(uint32_t pid) {
  if (!IsSinglePid(pid)) return false;
  return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

std::error_code SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                             const SpawnOptions& options, uint32_t& pid) {
  if (program.empty()) return std::make_error_code(std::errc::invalid_argument);

  ArgumentVector argv(program, args);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (int rc = ::posix_spawn_file_actions_init(&actions); rc != 0) {
    return {rc, std::system_category()};
  }
  if (int rc = ::posix_spawnattr_init(&attr); rc != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return {rc, std::system_category()};
  }

  int rc = 0;
  // Descriptors that some library opened without O_CLOEXEC must not leak either.
  rc = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (rc == 0 && !options.workingDirectory.empty()) {
    rc = ::posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (options.newSession) flags |= POSIX_SPAWN_SETSID;
  if (rc == 0) rc = ::posix_spawnattr_setflags(&attr, flags);
  // The child starts with nothing blocked and the usual dispositions, whatever our
  // threads have masked or ignored.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2}) {
    sigaddset(&defaults, sig);
  }
  if (rc == 0) rc = ::posix_spawnattr_setsigmask(&attr, &none);
  if (rc == 0) rc = ::posix_spawnattr_setsigdefault(&attr, &defaults);

  pid_t child = 0;
  if (rc == 0) {
    // A bare name is looked up in PATH like a command line; a path is used as given.
    const bool search = program.find('/') == std::string::npos;
    rc = search ? ::posix_spawnp(&child, program.c_str(), &actions, &attr, argv.data(), environ)
                : ::posix_spawn(&child, program.c_str(), &actions, &attr, argv.data(), environ);
  }
  ::posix_spawnattr_destroy(&attr);
  ::posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return {rc, std::system_category()};
  pid = static_cast<uint32_t>(child);
  return {};
}

std::error_code ReplaceProcess(const std::string& program, const std::vector<std::string>& args,
                               bool endWithParent) {
  if (program.empty()) return std::make_error_code(std::errc::invalid_argument);
  if (endWithParent) {
    const pid_t starter = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return {errno, std::system_category()};
    // The starter may have ended before the signal was asked for: then nobody would send it.
    if (::getppid() != starter || starter == 1) return std::make_error_code(std::errc::no_such_process);
  }
  ArgumentVector argv(program, args);
  if (program.find('/') == std::string::npos) {
    ::execvp(program.c_str(), argv.data());
  } else {
    ::execv(program.c_str(), argv.data());
  }
  return {errno, std::system_category()};
}

std::optional<int> WaitProcess(uint32_t pid, uint32_t timeoutMs) {
  if (!IsSinglePid(pid)) return std::nullopt;
  const pid_t p = static_cast<pid_t>(pid);
  UniqueFd pidfd(PidfdOpen(p));
  if (pidfd.get() < 0) {
    if (errno == ENOSYS) return WaitBySlices(p, timeoutMs);
    return std::nullopt;  // no such process
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs != kForever) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      wait = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
    }
    pollfd pfd{pidfd.get(), POLLIN, 0};
    const int n = ::poll(&pfd, 1, wait);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n > 0) break;
    if (wait == 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
  }

  siginfo_t info{};
  for (;;) {
    if (::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED) == 0) break;
    if (errno != EINTR) return std::nullopt;  // not our child, or reaped elsewhere
  }
  return ExitCodeOf(info);
}

}  // namespace zent::platform
