#include "extras/FloatBtnTaps.h"

#include <memory>
#include <mutex>

#include "extras/CheckThread.h"

namespace zent {
namespace {

// One object, so that at process end the watcher goes before the counter it reads.
struct TapsModule {
  TTapCounter counter;
  std::mutex watcherLock;
  std::unique_ptr<TCheckThread> watcher;
};

TapsModule& Module() {
  static TapsModule module;
  return module;
}

}  // namespace

void InitializeFloatBtnTaps() {
  TapsModule& m = Module();
  std::lock_guard lock(m.watcherLock);
  if (!m.watcher) m.watcher = std::make_unique<TCheckThread>(m.counter);
}

void FinalizeFloatBtnTaps() {
  std::unique_ptr<TCheckThread> watcher;
  {
    TapsModule& m = Module();
    std::lock_guard lock(m.watcherLock);
    watcher = std::move(m.watcher);
  }
  watcher.reset();  // stops, wakes and joins it outside the lock
}

TTapCounter& FloatBtnTapCounter() { return Module().counter; }

bool CountTap() { return Module().counter.CountTap(); }

void ResetTaps() { Module().counter.ResetTaps(); }

void RestartTapWatch() {
  TapsModule& m = Module();
  std::lock_guard lock(m.watcherLock);
  if (m.watcher) m.watcher->Restart();
}

}  // namespace zent
