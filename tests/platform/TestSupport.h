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

// A one-shot "I am ready" signal from a child: a FIFO that the child writes one byte to.
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
  int fd_ = -1;
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

// With HKEY_LOCAL_MACHINE in a folder we may not write, but whose hive holds
// SOFTWARE\ZENT "A"="1": 0 when every write is refused and reading works, else the
// number of the check that failed.
int CheckWriteDenied();

}  // namespace zent::platform::testing
