// TFileLog: the system's logging facility. Appends time-stamped UTF-8 entries to files that
// roll over by calendar period into dated folders under a root ("Logs/" beside the
// executable by default), removes dated folders older than 15 days, folds runs of identical
// entries into one summary line, and never lets a write failure reach the caller.
// AppLog() is the application log every module writes to. Once the program turns it on
// (EnableSystemJournal), entries of levels 1 and 2 and the begin and end banners of every log
// also go to the machine's journal, so a chain can collect them; the files stay as they are.
//
// Entries are written with one write call each on a file kept open; nothing is buffered in
// the process. The files are the system's own: on Linux no share mode keeps other processes
// from writing to them (Windows lets others only read); the optional cross-process lock
// (WaitMutex) is the way for cooperating processes to keep off a file that is in use.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "common/LogClock.h"
#include "platform/FileHandle.h"

namespace zent {

enum TFileLogOption : uint8_t { floMultiThread = 0, floNoIndex = 1, floUnnecessary = 2 };

// A set of TFileLogOption: bit n for ordinal n.
class TFileLogOptions {
 public:
  constexpr TFileLogOptions() = default;
  constexpr TFileLogOptions(std::initializer_list<TFileLogOption> options) {
    for (auto o : options) bits_ |= static_cast<uint8_t>(1u << o);
  }
  constexpr bool Has(TFileLogOption o) const { return bits_ & (1u << o); }
  constexpr uint8_t Bits() const { return bits_; }

 private:
  uint8_t bits_ = 0;
};

enum TFileLogSplit : uint8_t { flsNone = 0, flsYear = 1, flsMonth = 2, flsDay = 3, flsHour = 4 };

using TLogLevel = uint8_t;   // what callers pass: 0..239
using TLogLevelF = uint8_t;  // 254 begin banner, 255 end banner

class DuplicateMask;
namespace platform {
class NamedLock;
}

class TFileLog {
 public:
  // The last entry written, for folding runs of identical entries (single-thread mode).
  struct TLastLog {
    uint32_t ThreadID = 0;
    bool DuplicateMode = false;  // a mask was given
    std::string DuplicateMask;   // the mask, or the entry text itself
    TLogLevelF Level = 0;
    LogTime DT{};                // time of the last occurrence
    int32_t DuplicateCount = 0;  // repeats folded so far, the first occurrence not counted
    int64_t MaxInterval = 0;     // ms
    int64_t MinInterval = INT64_MAX;

    static TLastLog Create(uint32_t threadId, TLogLevelF level, bool duplicateMode,
                           std::string duplicateMask, LogTime now);
    bool IsDuplicate(uint32_t threadId, std::string_view log) const;
    // "重复调用%d次, 最大间隔%s, 最小间隔%s"
    std::string ToString() const;

   private:
    std::shared_ptr<const zent::DuplicateMask> FMatcher;  // compiled once per mask
  };

  // Throws EFileLogError "默认名称日志已存在" when AName is empty and a log with the default
  // name was already created in this process, "日志文件名不能为空" when no name remains.
  TFileLog(const std::string& AName, const std::string& AWorkPath, const std::string& AGroup,
           TFileLogOptions AOptions, TFileLogSplit ASplitDir, TFileLogSplit ASplitFile);
  // Writes a pending repeat summary and the end banner, then closes the files.
  ~TFileLog();
  TFileLog(const TFileLog&) = delete;
  TFileLog& operator=(const TFileLog&) = delete;

  // The core entry point. Never throws: an entry that cannot be written goes to an
  // emergency file in the dated folder's "Exception/", or is lost when even that fails.
  void Log(TLogLevel level, const std::string& text, const std::string& duplicateMask = {}) noexcept;
  void Log(const std::string& text) noexcept { Log(0, text); }
  void LogFmt(TLogLevel level, const char* fmt, ...) noexcept __attribute__((format(printf, 3, 4)));
  // Level 2: title + message, with "[" + class name + "]" between them unless `e` is the
  // plain base error.
  void Log(const std::string& title, const std::exception& e) noexcept;
  void Log(const std::exception& e) noexcept { Log(std::string(), e); }

  // Asks the system to put both open files on disk.
  void Flush() noexcept;
  // The folder the next entry would be written to (root + dated folder + group).
  std::string GetLogPath() const;
  const std::string& LogName() const { return FName; }

  // Cross-process lock on the file being written, off by default; takes effect at the
  // next entry. WaitTimeout in ms (0xFFFFFFFF: no limit); failing "文件被占用" on time-out.
  bool WaitMutex() const { return FWaitMutex.load(); }
  void WaitMutex(bool value) { FWaitMutex.store(value); }
  uint32_t WaitTimeout() const { return FWaitTimeout.load(); }
  void WaitTimeout(uint32_t ms) { FWaitTimeout.store(ms); }

 private:
  friend class FileLogModule;

  // File names of one period, rebuilt when the entry's second changes.
  struct Period;

  void Close() noexcept;
  void WritePendingBegin(uint32_t threadId) noexcept;
  void WriteEntry(TLogLevelF level, uint32_t threadId, LogTime t, std::string_view text) noexcept;
  bool TryConcurrentWrite(TLogLevelF level, uint32_t threadId, LogTime t, std::string_view text) const noexcept;
  void FormatLine(std::string& out, TLogLevelF level, uint32_t threadId, int ms, std::string_view text) const;
  void UpdatePeriod(LogTime t);
  void OpenFiles();
  void WriteEmergency(const std::string& error, std::string_view line, int ms) const noexcept;
  // Both write paths hand each line's level and text here; levels 1, 2 and the banners go on
  // to the journal when it is on.
  void ToJournal(TLogLevelF level, uint32_t threadId, std::string_view text) const noexcept;

  platform::FileHandle FFS;
  std::string FPath;       // root folder, ending in "/"
  std::string FGroupPath;  // below the dated folder, empty or ending in "/"
  std::string FName;
  std::string FOriginalName;
  bool FOP_MultiThread = false;
  bool FOP_NoIndex = false;
  TFileLogSplit FSplitDir = flsNone;
  TFileLogSplit FSplitFile = flsNone;
  // Multi-thread mode only. Entries to the open file of the current second are written under
  // the shared lock (each is one append, so entries never interleave); opening, changing
  // files, banners and closing take it exclusively.
  std::unique_ptr<std::shared_mutex> FCS;
  TLastLog FLastLog;
  std::atomic<bool> FWaitMutex{false};
  std::atomic<uint32_t> FWaitTimeout{0xFFFFFFFFu};
  std::unique_ptr<platform::NamedLock> FMutexHandle;
  std::optional<LogTime> FBeginDT;  // set while the begin banner is pending
  platform::FileHandle FIndexFS;

  bool FClosed = false;            // after Close entries are dropped (see AppLog)
  std::unique_ptr<Period> FPeriod; // cache of the current period's names and stamp
  std::string FLine;               // the entry being written, reused
};

// Process start-up: sets the default root of the logs ("Logs/" in the executable's folder
// when `defaultRoot` is empty) and starts the module afresh (no default-named log known,
// no root cleaned yet). Tests call it again to point the logs at a folder of their own;
// the application log keeps the root it was created with.
void InitFileLog(const std::string& defaultRoot = {});

// Sends the entries of levels 1 and 2 and the banners of every log of this process to the
// machine's journal from now on (else to syslog; see platform/SystemJournal.h), under the
// executable's name. The socket paths are for tests; DisableSystemJournal stops it.
void EnableSystemJournal(std::string_view journalSocket = {}, std::string_view syslogSocket = {});
void DisableSystemJournal();

// The application log (created on first use). At process end it writes its end banner and
// closes; the object itself stays, so a static that logs later is safe: its entry is dropped.
TFileLog& AppLog();

}  // namespace zent
