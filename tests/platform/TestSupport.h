// Helpers for the platform tests: a fresh folder per test, scoped environment variables,
// and this test program started again as a child that performs one named action
// (chosen by the ZENT_TEST_CHILD variable, arguments on its command line).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace zent::platform::testing {

// An empty folder under the build's test folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets (or with nullptr removes) an environment variable and restores it at the end.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

// A one-shot "I am ready" signal from a child (POSIX: a FIFO the child writes one byte to;
// Windows: a named event derived from the path).
class ReadySignal {
 public:
  explicit ReadySignal(const std::string& path);
  ~ReadySignal();
  ReadySignal(const ReadySignal&) = delete;
  ReadySignal& operator=(const ReadySignal&) = delete;
  const std::string& path() const { return path_; }
  // True once the byte arrived; false when the child went away first or after a generous
  // guard time (a hung child must fail the test, not hang it).
  bool Wait();

 private:
  std::string path_;
  std::intptr_t handle_ = -1;
};

// A child copy of this test program. The destructor kills and reaps it if it still runs.
class Child {
 public:
  Child(const std::string& action, const std::vector<std::string>& args,
        const SpawnOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ != 0; }
  uint32_t pid() const { return pid_; }
  // Waits for the end; returns the exit code (and forgets the child) or nullopt.
  std::optional<int> Wait(uint32_t timeoutMs = kGuardMs);
  void Kill();

  static constexpr uint32_t kGuardMs = 60000;

 private:
  uint32_t pid_ = 0;
};

// The system's part of the helpers (posix/ or win32/TestSupportSystem.cpp).
namespace system {
// This program's arguments, without the program itself (UTF-8).
std::vector<std::string> OwnArguments();
// Sets (or with nullptr removes) a variable of our environment.
void SetEnv(const std::string& name, const char* value);
// The child's side of a ReadySignal named `path`; ends the process when it cannot.
void SignalReady(const std::string& path);
// Waits until killed (ends by itself after a while, should its parent be gone).
[[noreturn]] void ParkUntilKilled();
// Removes a key below HKEY_CURRENT_USER with everything in it (Windows; POSIX tests keep
// their hives in their own folders, so there it does nothing).
void RemoveUserRegistryKey(const std::string& path);
// The child actions only one system has; ends the process with 98 for an unknown one.
[[noreturn]] void RunChild(const std::string& action, const std::vector<std::string>& args);
}  // namespace system

// With HKEY_LOCAL_MACHINE in a folder we may not write, but whose hive holds
// SOFTWARE\ZENT "A"="1": 0 when every write is refused and reading works, else the
// number of the check that failed. (POSIX hives only.)
int CheckWriteDenied();

}  // namespace zent::platform::testing
