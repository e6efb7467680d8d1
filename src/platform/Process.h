// Processes: our own ids, the list of running processes, ending and starting processes.
// Contract: nothing throws; failures are return values (false, nullopt or an error_code
// carrying the system's error number).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace zent::platform {

uint32_t CurrentProcessId() noexcept;
// The calling thread's system-wide id (Linux: gettid), the id the logs print.
uint32_t CurrentThreadId() noexcept;
// The user id our permissions are checked against (0: the administrator).
uint32_t EffectiveUserId() noexcept;

// A variable of our environment (UTF-8); nullopt when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);
// Sets a variable of our environment, for the libraries and child processes that read it.
std::error_code SetEnvironmentValue(const std::string& name, const std::string& value);

// Drops every environment variable and sets only `path` as PATH, and makes new files
// readable, never writable, by group and others (umask 022). For a program started with
// privileges by someone it must not trust: nothing the caller set reaches it or its children.
std::error_code ResetEnvironment(const std::string& path);

struct ProcessEntry {
  uint32_t pid = 0;
  std::string exePath;  // full path of the process's executable
};

// Every running process whose executable path we may read; the others are skipped silently.
std::vector<ProcessEntry> ListProcesses();

// The executable path of one process; nullopt when it is gone or may not be read.
std::optional<std::string> ProcessExePath(uint32_t pid);

// Ends the process at once (Linux: SIGKILL). False when it could not be signalled.
bool TerminateProcess(uint32_t pid);

struct SpawnOptions {
  std::string workingDirectory;  // empty: inherit ours
  bool newSession = false;       // detach from our session (the "new console" of a spawn)
};

// Starts `program` with `args` (not including the program itself), never through a shell.
// A program name without "/" is looked up in PATH. The child gets our environment and
// standard streams, and no other descriptor of ours. On success fills `pid`.
std::error_code SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                             const SpawnOptions& options, uint32_t& pid);

// Runs `program` with `args` in place of the calling program (same process id), never
// through a shell; a name without "/" is looked up in PATH. With `endWithParent` the new
// program is sent SIGTERM when the thread that started our process ends, so it cannot
// outlive its starter; when that starter is already gone, nothing runs and the result is
// no_such_process. Returns only on failure. Windows cannot replace a process's program: it
// starts it as a child in a job that ends with us, waits for it and exits with its code.
std::error_code ReplaceProcess(const std::string& program, const std::vector<std::string>& args,
                               bool endWithParent);

// The exit code WaitProcess reports for a process ended by TerminateProcess (128 + SIGKILL,
// the number a POSIX system reports; Windows takes it as the code TerminateProcess sets).
inline constexpr int kTerminatedExitCode = 137;

// Waits for a child started by SpawnProcess to end, at most `timeoutMs` milliseconds
// (0xFFFFFFFF waits for ever). Returns its exit code (128 + signal number when a signal
// ended it), or nullopt on time-out or error. A child that timed out is not reaped and
// may be waited for again.
std::optional<int> WaitProcess(uint32_t pid, uint32_t timeoutMs);

}  // namespace zent::platform
