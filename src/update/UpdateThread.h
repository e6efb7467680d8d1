// The background update check: once per process, one thread asks the update service (port
// 7100 of the configured host) for a newer build and downloads its installer into
// "Temp/ExeBuf/"; when that service cannot be reached or does not answer 200, it asks the web
// application's own endpoint and downloads into "Temp/ExeBuf_O/". Nothing is installed here:
// the next start hands the package over (CheckUpdateApp). Downloads stream to an unnamed
// file in the package folder and get their package name only once complete and verified (a
// signature from a trusted key, and the announced MD5 when it is one), so no partial or
// foreign package can ever be found; the previous package goes only then. A package that
// failed to install before (HandOffRecord.h) is not downloaded again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "update/PackageSignature.h"

namespace zent {

struct TUpdateSettings {
  std::string appVersion;   // the running program's version
  std::string installBase;  // the package folders live below it (ends in "/")
  std::string configFile;   // empty: the user's configuration file
  uint16_t mainPort = 7100;
  uint64_t maxPackageBytes = uint64_t{1} << 30;  // a larger download is refused
  size_t maxAnswerBytes = size_t{1} << 20;       // a larger check answer is refused
  int downloadResponseMs = 600000;
  // The keys a download must be signed with; nullopt: the built-in key and the system's key
  // folder, read by the thread.
  std::optional<std::vector<TrustedKey>> keys;
};

// The settings of the running program.
TUpdateSettings DefaultUpdateSettings();

class TUpdateThread {
 public:
  explicit TUpdateThread(TUpdateSettings settings);
  // Asks the thread to stop (a request or download in progress ends at once) and waits.
  ~TUpdateThread();
  TUpdateThread(const TUpdateThread&) = delete;
  TUpdateThread& operator=(const TUpdateThread&) = delete;

  // Waits until the check has ended; false when `timeout` passed first.
  bool WaitFinished(std::chrono::milliseconds timeout);

 private:
  void Execute(std::stop_token stop);

  const TUpdateSettings settings_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::jthread thread_;  // last: started after every field exists
};

// Starts the check at most once per process; every later call returns at once, also after
// the check has ended.
void StartUpdateCheck();
// Process end: stops a running check and waits for it.
void FinalizeUpdateCheck();

// Ends the module's thread on every way out of the scope that holds it.
class UpdateCheckScope {
 public:
  UpdateCheckScope() = default;
  ~UpdateCheckScope() { FinalizeUpdateCheck(); }
  UpdateCheckScope(const UpdateCheckScope&) = delete;
  UpdateCheckScope& operator=(const UpdateCheckScope&) = delete;
};

}  // namespace zent
