// Named locks shared between processes: the counterpart of a named mutex.
// A name beginning with "Global\" is machine-wide, any other name belongs to the user's
// session. Machine-wide names live in /run/lumo7browser/locks when the installed package
// provides that folder (root-owned, not world-writable: only its group may take them),
// else in the world-writable /tmp/zent-global. Each lock is a lock file held with flock(2),
// so it dies with its process however the process ends, exactly like a handle.
// Windows: the lock file (in %TEMP% or %ProgramData%) is held with LockFileEx, and every
// holder also keeps a named mutex of the name open, which Exists looks for.
//
// Two uses:
//  - existence: a role "runs" while some process holds the name (Hold). Exists() tells
//    whether any process, this one through another NamedLock included, holds it.
//  - mutual exclusion: Lock/Unlock with a time-out.
// One object serves one of the two uses. Locks are not recursive: two NamedLock objects
// with the same name exclude each other even in one thread.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace zent::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class NamedLock {
 public:
  explicit NamedLock(std::string name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Holds the name (shared) for the life of this object; many holders may coexist.
  // Waits while another object holds the name exclusively (Lock).
  // invalid_argument when this object has it locked.
  std::error_code Hold();
  // Takes the name exclusively, waiting at most timeoutMs (kInfinite: no limit).
  // Returns std::errc::timed_out when the time ran out, invalid_argument when this
  // object holds the name shared.
  std::error_code Lock(uint32_t timeoutMs);
  void Unlock();

  const std::string& Name() const { return name_; }
  // The lock file that carries the name.
  const std::string& FilePath() const { return path_; }

  // True while any process holds the name (shared or exclusive).
  static bool Exists(const std::string& name);
  // The lock file path for a name ("Local\" names are session names, like bare ones).
  static std::string PathFor(const std::string& name);

 private:
  std::error_code Open();

  std::string name_;
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
  bool locked_ = false;
};

// Holds `lock`'s name and tells whether another holder had it already (`heldBefore`), as one
// step among the processes that take a name this way: the look and the hold happen under an
// exclusive lock of the name + ".start" (waited for at most kFirstHolderWaitMs, then done
// without it), so of several starting together exactly one finds the name free.
inline constexpr uint32_t kFirstHolderWaitMs = 5000;
std::error_code HoldAndTellIfHeld(NamedLock& lock, bool& heldBefore);

}  // namespace zent::platform
