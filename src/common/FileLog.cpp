#include "common/FileLog.h"

#include <charconv>
#include <cstdarg>
#include <filesystem>
#include <new>
#include <set>

#include "common/DuplicateMask.h"
#include "common/Encoding.h"
#include "common/Errors.h"
#include "common/Format.h"
#include "common/LogNames.h"
#include "common/Utils.h"
#include "platform/AnsiCodePage.h"
#include "platform/FsPath.h"
#include "platform/NamedLock.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/SystemJournal.h"
#include "platform/ErrorText.h"

namespace zent {

namespace fs = std::filesystem;

namespace {

constexpr int kRetentionDays = 15;
constexpr TLogLevelF kBeginLevel = 254;
constexpr TLogLevelF kEndLevel = 255;
constexpr std::string_view kBeginBanner = "****** Log Begin ******";
constexpr std::string_view kEndBanner = "****** Log End ******";

// The path cleaner, applied per component so that the separators survive. The drive part
// ("C:", "\\\\server" where the system has drives) stays: its colon is no stray character.
std::string CleanPath(std::string_view path) {
  const size_t drive = platform::Utf8Of(platform::FsPath(path).root_name()).size();
  return std::string(path.substr(0, drive)) +
         ClearToPath(path.substr(drive), [](char c) { return c == '/' ? std::string("/") : std::string(); });
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The thread id, asked of the system once per thread: the call costs as much as a tenth of
// the entry's write. Our children are started with exec, so no forked copy of a thread ever
// logs with its parent's cached id.
// The Unix second of t, and its milliseconds in `ms`.
int64_t SplitTime(LogTime t, int& ms) noexcept {
  const int64_t total = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  const int64_t second = total >= 0 ? total / 1000 : (total - 999) / 1000;
  ms = static_cast<int>(total - second * 1000);
  return second;
}

uint32_t ThisThreadId() noexcept {
  thread_local const uint32_t id = platform::CurrentThreadId();
  return id;
}

// Appends the decimal digits of n.
void AppendNumber(std::string& out, uint32_t n) {
  char buf[10];
  const auto end = std::to_chars(buf, buf + sizeof buf, n).ptr;
  out.append(buf, end);
}

std::string RootFromExecutable() {
  const std::string exe = platform::ExecutablePath();
  if (exe.empty()) return "Logs/";  // no executable path: beside the working folder
  return platform::Utf8Of(platform::FsPath(exe).parent_path()) + "/Logs/";
}

}  // namespace

// Process-wide state of the logs. Never destroyed: logs may be written while other static
// objects are torn down at process end.
class FileLogModule {
 public:
  static FileLogModule& Get() {
    alignas(FileLogModule) static unsigned char storage[sizeof(FileLogModule)];
    static FileLogModule* module = ::new (storage) FileLogModule();
    return *module;
  }

  void Init(const std::string& defaultRoot) {
    {
      std::lock_guard lock(stateLock_);
      defaultRoot_ = defaultRoot.empty() ? RootFromExecutable() : WithSlash(defaultRoot);
      defaultNameUsed_ = false;
    }
    std::lock_guard lock(cleanedLock_);
    cleaned_.clear();
  }

  std::string DefaultRoot() {
    std::lock_guard lock(stateLock_);
    if (defaultRoot_.empty()) defaultRoot_ = RootFromExecutable();
    return defaultRoot_;
  }

  // Claims the default name; false when a log already took it.
  bool ClaimDefaultName() {
    std::lock_guard lock(stateLock_);
    if (defaultNameUsed_) return false;
    defaultNameUsed_ = true;
    return true;
  }

  // True the first time a root is named in this process.
  bool FirstCleanup(const std::string& root) {
    std::lock_guard lock(cleanedLock_);
    return cleaned_.insert(root).second;
  }

  std::mutex& DirLock() { return dirLock_; }

  // The journal the logs forward to, or null. A replaced one is kept (never freed), so a
  // writer that loaded it a moment ago still holds a live object.
  struct Journal {
    platform::SystemJournal sink;
    std::string identifier;  // the program's name
    Journal(std::string_view journalSocket, std::string_view syslogSocket, std::string name)
        : sink(journalSocket, syslogSocket), identifier(std::move(name)) {}
  };
  const Journal* CurrentJournal() const { return journal_.load(std::memory_order_acquire); }
  void SetJournal(std::unique_ptr<Journal> journal) {
    std::lock_guard lock(stateLock_);
    journal_.store(journal.get(), std::memory_order_release);
    if (journal) journals_.push_back(std::move(journal));
  }

  TFileLog& AppLog() {
    if (TFileLog* log = appLog_.load(std::memory_order_acquire)) return *log;
    std::lock_guard lock(appLogLock_);
    if (TFileLog* log = appLog_.load(std::memory_order_relaxed)) return *log;
    ArmProcessEnd();
    appLogStorage_.emplace("", "", "", TFileLogOptions{floMultiThread, floNoIndex}, flsDay, flsDay);
    appLog_.store(&*appLogStorage_, std::memory_order_release);
    return *appLogStorage_;
  }

  // Registers the process-end close of the application log. Armed at start-up (InitFileLog)
  // so that it runs after the static objects of the modules initialised later are gone.
  static void ArmProcessEnd() {
    struct Closer {
      ~Closer() {
        if (TFileLog* log = Get().appLog_.load(std::memory_order_acquire)) log->Close();
      }
    };
    static Closer closer;
  }

 private:
  FileLogModule() = default;

  std::mutex stateLock_;
  std::string defaultRoot_;
  bool defaultNameUsed_ = false;
  std::mutex cleanedLock_;
  std::set<std::string> cleaned_;
  std::mutex dirLock_;
  std::mutex appLogLock_;
  std::atomic<TFileLog*> appLog_{nullptr};
  std::optional<TFileLog> appLogStorage_;
  std::atomic<const Journal*> journal_{nullptr};
  std::vector<std::unique_ptr<Journal>> journals_;
};

namespace {

void CreateFolder(const std::string& folder) {
  std::error_code ec;
  if (fs::is_directory(platform::FsPath(folder), ec)) return;
  std::lock_guard lock(FileLogModule::Get().DirLock());
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  fs::create_directories(platform::FsPath(path), ec);
  if (ec || !fs::is_directory(platform::FsPath(path))) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    throw EFileLogError(Format("创建目录失败[%s]: %s", folder.c_str(), platform::ErrorText(ec).c_str()));
  }
}

// Removes dated folders of the root that are kRetentionDays old or older. Errors are
// ignored: a folder that cannot be listed or removed stays for the next start.
void RemoveExpiredFolders(const std::string& root) {
  using namespace std::chrono;
  const LogDateTime now = ToLogDateTime(LogNow());
  const sys_days today{year{now.year} / month{static_cast<unsigned>(now.month)} /
                       day{static_cast<unsigned>(now.day)}};
  std::error_code ec;
  for (fs::directory_iterator it(platform::FsPath(root), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (!it->is_directory(ignored)) continue;
    const auto date = ParseLogFolderDate(platform::Utf8Of(it->path().filename()));
    if (date && (today - *date).count() >= kRetentionDays) fs::remove_all(it->path(), ignored);
  }
}

}  // namespace

// ---- TLastLog ----

TFileLog::TLastLog TFileLog::TLastLog::Create(uint32_t threadId, TLogLevelF level, bool duplicateMode,
                                              std::string duplicateMask, LogTime now) {
  TLastLog last;
  last.ThreadID = threadId;
  last.Level = level;
  last.DuplicateMode = duplicateMode;
  if (duplicateMode) last.FMatcher = std::make_shared<const zent::DuplicateMask>(duplicateMask);
  last.DuplicateMask = std::move(duplicateMask);
  last.DT = now;
  return last;
}

bool TFileLog::TLastLog::IsDuplicate(uint32_t threadId, std::string_view log) const {
  if (threadId != ThreadID) return false;
  if (!DuplicateMode) return log == DuplicateMask;
  return FMatcher && FMatcher->Matches(log);
}

std::string TFileLog::TLastLog::ToString() const {
  return Format("重复调用%d次, 最大间隔%s, 最小间隔%s", DuplicateCount, ElapsedText(MaxInterval).c_str(),
                ElapsedText(MinInterval).c_str());
}

// ---- TFileLog ----

struct TFileLog::Period {
  int64_t second = INT64_MIN;  // the Unix second these names belong to
  LogDateTime time;
  std::string stamp;        // "[YYYY-MM-DD HH:NN:SS." of that second
  std::string datedFolder;  // FPath + folder part + "/"
  std::string folder;       // datedFolder + FGroupPath
  std::string stem;
  std::string logFile;
  std::string indexFile;
};

TFileLog::TFileLog(const std::string& AName, const std::string& AWorkPath, const std::string& AGroup,
                   TFileLogOptions AOptions, TFileLogSplit ASplitDir, TFileLogSplit ASplitFile)
    : FOriginalName(AName), FPeriod(std::make_unique<Period>()) {
  if (ASplitFile < ASplitDir) ASplitFile = ASplitDir;
  FSplitDir = ASplitDir;
  FSplitFile = ASplitFile;
  FOP_MultiThread = AOptions.Has(floMultiThread);
  FOP_NoIndex = AOptions.Has(floNoIndex);
  if (FOP_MultiThread) FCS = std::make_unique<std::shared_mutex>();

  FileLogModule& module = FileLogModule::Get();
  FPath = CleanPath(WithSlash(AWorkPath.empty() ? module.DefaultRoot() : AWorkPath));
  FGroupPath = CleanPath(WithSlash(AGroup));

  FName = ClearToFileName(AName);
  if (FName != AName) {
    FName += '.';
    FName += LogNameHashText(LogNameHash(AName));
  }
  if (FName.empty()) {
    if (!module.ClaimDefaultName()) throw EFileLogError("默认名称日志已存在");
    FName = platform::Utf8Of(platform::FsPath(platform::ExecutablePath()).stem());
  }
  if (FName.empty()) throw EFileLogError("日志文件名不能为空");

  FBeginDT = LogNow();
  if (!AOptions.Has(floUnnecessary)) WritePendingBegin(ThisThreadId());

  if (module.FirstCleanup(FPath)) RemoveExpiredFolders(FPath);
}

TFileLog::~TFileLog() { Close(); }

void TFileLog::Close() noexcept {
  std::unique_lock<std::shared_mutex> lock;
  if (FCS) lock = std::unique_lock(*FCS);
  if (FClosed) return;
  FClosed = true;
  const uint32_t threadId = ThisThreadId();
  if (!FOP_MultiThread && FLastLog.DuplicateCount > 0) {
    WritePendingBegin(threadId);
    std::string summary;
    try {
      summary = FLastLog.ToString();
    } catch (...) {
      // Out of memory at the end: the summary is lost, the end banner still goes out.
    }
    WriteEntry(FLastLog.Level, FLastLog.ThreadID, FLastLog.DT, summary);
  }
  if (!FBeginDT) WriteEntry(kEndLevel, threadId, LogNow(), kEndBanner);
  FIndexFS.Close();
  FFS.Close();
  FMutexHandle.reset();
}

void TFileLog::Log(TLogLevel level, const std::string& text, const std::string& duplicateMask) noexcept {
  const LogTime t = LogNow();
  const uint32_t threadId = ThisThreadId();
  if (FOP_MultiThread) {
    {
      std::shared_lock shared(*FCS);
      if (FClosed) return;
      if (TryConcurrentWrite(level, threadId, t, text)) return;
    }
    std::lock_guard lock(*FCS);
    if (FClosed) return;
    WritePendingBegin(threadId);
    WriteEntry(level, threadId, t, text);
    return;
  }
  if (FClosed) return;
  if (FLastLog.IsDuplicate(threadId, text)) {
    ++FLastLog.DuplicateCount;
    const int64_t interval =
        std::chrono::duration_cast<std::chrono::milliseconds>(t - FLastLog.DT).count();
    FLastLog.DT = t;
    if (interval > FLastLog.MaxInterval) FLastLog.MaxInterval = interval;
    if (interval < FLastLog.MinInterval) FLastLog.MinInterval = interval;
    return;
  }
  WritePendingBegin(threadId);
  try {
    if (FLastLog.DuplicateCount > 0)
      WriteEntry(FLastLog.Level, FLastLog.ThreadID, FLastLog.DT, FLastLog.ToString());
    const bool withMask = !duplicateMask.empty();
    FLastLog = TLastLog::Create(threadId, level, withMask, withMask ? duplicateMask : text, t);
  } catch (...) {
    // Out of memory while folding: the entry itself is still attempted below.
  }
  WriteEntry(level, threadId, t, text);
}

void TFileLog::LogFmt(TLogLevel level, const char* fmt, ...) noexcept {
  std::string text;
  try {
    va_list args;
    va_start(args, fmt);
    text = FormatV(fmt, args);
    va_end(args);
  } catch (...) {
    return;  // out of memory: the entry is lost, as any entry that cannot be written
  }
  Log(level, text);
}

void TFileLog::Log(const std::string& title, const std::exception& e) noexcept {
  std::string text;
  try {
    text = IsPlainBaseError(e) ? title + e.what() : title + "[" + ErrorClassName(e) + "]" + e.what();
  } catch (...) {
    return;  // out of memory: the entry is lost, as any entry that cannot be written
  }
  Log(2, text);
}

void TFileLog::Flush() noexcept {
  std::unique_lock<std::shared_mutex> lock;
  if (FCS) lock = std::unique_lock(*FCS);
  // Best effort by nature: a file that cannot be synced keeps what the system holds.
  if (FIndexFS.IsOpen()) (void)FIndexFS.Flush();
  if (FFS.IsOpen()) (void)FFS.Flush();
}

std::string TFileLog::GetLogPath() const {
  const LogDateTime t = ToLogDateTime(LogNow());
  const std::string part = LogFolderPart(FSplitDir, t);
  return FPath + (part.empty() ? std::string() : part + "/") + FGroupPath;
}

void TFileLog::WritePendingBegin(uint32_t threadId) noexcept {
  if (!FBeginDT) return;
  const LogTime begin = *FBeginDT;
  FBeginDT.reset();
  WriteEntry(kBeginLevel, threadId, begin, kBeginBanner);
}

void TFileLog::UpdatePeriod(LogTime t) {
  int ms = 0;
  const int64_t second = SplitTime(t, ms);
  Period& p = *FPeriod;
  if (second == p.second) return;
  const LogDateTime time = ToLogDateTime(t);
  const std::string folderPart = LogFolderPart(FSplitDir, time);
  const std::string filePart = LogFilePart(FSplitDir, FSplitFile, time);
  p.datedFolder = folderPart.empty() ? FPath : FPath + folderPart + "/";
  p.folder = p.datedFolder + FGroupPath;
  p.stem = filePart.empty() ? FName : FName + "." + filePart;
  p.logFile = p.folder + p.stem + ".log";
  p.indexFile = p.folder + p.stem + ".logidx";
  p.stamp.clear();
  AppendLogStamp(p.stamp, time);
  p.stamp.resize(p.stamp.size() - 4);  // the milliseconds and "]" are added per entry
  p.time = time;
  p.second = second;
}

void TFileLog::OpenFiles() {
  const Period& p = *FPeriod;
  if (FFS.IsOpen() && FFS.Path() != p.logFile) {
    FFS.Close();
    FMutexHandle.reset();  // the lock belongs to the file it was taken for
  }
  if (FIndexFS.IsOpen() && FIndexFS.Path() != p.indexFile) FIndexFS.Close();

  if (FWaitMutex.load() && !FMutexHandle) {
    std::error_code ec;
    fs::path full = fs::absolute(platform::FsPath(p.logFile), ec);
    auto lock = std::make_unique<platform::NamedLock>("Global\\" +
                                                      AsciiLower(ec ? p.logFile : platform::Utf8Of(full)));
    ec = lock->Lock(FWaitTimeout.load());
    if (ec == std::errc::timed_out) throw EFileLogError("文件被占用");
    if (ec) throw EFileLogError(Format("文件被占用[%s]: %s", p.logFile.c_str(), platform::ErrorText(ec).c_str()));
    FMutexHandle = std::move(lock);
  }

  const bool needIndex = !FOP_NoIndex && !FIndexFS.IsOpen();
  if (FFS.IsOpen() && !needIndex) return;
  CreateFolder(p.folder);
  // A new file whose stem does not tell the log's name starts with the name in brackets.
  const auto open = [&](platform::FileHandle& file, const std::string& path) {
    if (std::error_code ec = file.Open(path))
      throw EFileLogError(Format("打开文件失败[%s]: %s", path.c_str(), platform::ErrorText(ec).c_str()));
    uint64_t size = 0;
    std::error_code ec = file.Size(size);
    if (!ec && size == 0 && p.stem != FOriginalName) ec = file.Write("[" + FOriginalName + "]");
    if (ec) {
      file.Close();
      throw EFileLogError(Format("写入文件失败[%s]: %s", path.c_str(), platform::ErrorText(ec).c_str()));
    }
  };
  if (!FFS.IsOpen()) open(FFS, p.logFile);
  if (needIndex) open(FIndexFS, p.indexFile);
}

void TFileLog::FormatLine(std::string& out, TLogLevelF level, uint32_t threadId, int ms,
                          std::string_view text) const {
  out.clear();
  out += "\r\n";
  out += FPeriod->stamp;
  const char msText[] = {char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10), ']'};
  out.append(msText, sizeof msText);
  const bool levelPart = FOP_NoIndex && level < 240;
  if (levelPart || FOP_MultiThread) {
    out += '[';
    if (levelPart) AppendNumber(out, level);
    if (levelPart && FOP_MultiThread) out += '-';
    if (FOP_MultiThread) AppendNumber(out, threadId);
    out += ']';
  }
  out += ' ';
  out += text;
}

// Under the shared lock: the common case of an entry for the file already open, in the
// second the names were made for. False leaves the entry to the exclusive path.
bool TFileLog::TryConcurrentWrite(TLogLevelF level, uint32_t threadId, LogTime t,
                                  std::string_view text) const noexcept {
  int ms = 0;
  const int64_t second = SplitTime(t, ms);
  const Period& p = *FPeriod;
  if (FBeginDT || !FOP_NoIndex || second != p.second || !FFS.IsOpen() || FFS.Path() != p.logFile ||
      (FWaitMutex.load() && !FMutexHandle))
    return false;
  thread_local std::string line;
  try {
    FormatLine(line, level, threadId, ms, text);
  } catch (...) {
    return false;  // out of memory: the exclusive path tries with the instance's buffer
  }
  ToJournal(level, threadId, text);
  if (const std::error_code ec = FFS.Write(line)) {
    try {
      WriteEmergency(Format("写入文件失败[%s]: %s", FFS.Path().c_str(), platform::ErrorText(ec).c_str()), line, ms);
    } catch (...) {
      // Lost, as any entry whose emergency file cannot be written.
    }
  }
  return true;
}

void TFileLog::WriteEntry(TLogLevelF level, uint32_t threadId, LogTime t, std::string_view text) noexcept {
  int ms = 0;
  SplitTime(t, ms);
  // Before the file: an entry the file cannot take still reaches the journal.
  ToJournal(level, threadId, text);
  try {
    UpdatePeriod(t);
    FormatLine(FLine, level, threadId, ms, text);
    OpenFiles();
    std::error_code ec;
    if (!FOP_NoIndex) {
      uint64_t offset = 0;
      ec = FFS.Size(offset);
      if (!ec) {
        const auto length = static_cast<uint32_t>(FLine.size());
        const auto start = static_cast<uint32_t>(offset);
        const char record[12] = {
            static_cast<char>(start), static_cast<char>(start >> 8), static_cast<char>(start >> 16),
            static_cast<char>(start >> 24), static_cast<char>(length), static_cast<char>(length >> 8),
            static_cast<char>(length >> 16), static_cast<char>(length >> 24),
            static_cast<char>(level), 0, 0, 0};
        ec = FIndexFS.Write(std::string_view(record, sizeof record));
        if (ec) throw EFileLogError(Format("写入文件失败[%s]: %s", FIndexFS.Path().c_str(), platform::ErrorText(ec).c_str()));
      }
    }
    if (!ec) ec = FFS.Write(FLine);
    if (ec) throw EFileLogError(Format("写入文件失败[%s]: %s", FFS.Path().c_str(), platform::ErrorText(ec).c_str()));
  } catch (const std::exception& e) {
    WriteEmergency(e.what(), FLine, ms);
  } catch (...) {
    // Not an ordinary failure (nothing we raise): the entry is lost rather than the caller hurt.
  }
}

// The entry that could not be written goes to a file of its own, in the ANSI code page:
// the failure, a rule of "+", the line. A failure here loses the entry silently: there is
// nowhere left to report it.
void TFileLog::WriteEmergency(const std::string& error, std::string_view line, int ms) const noexcept {
  try {
    const Period& p = *FPeriod;
    const std::string folder = p.datedFolder + "Exception/";
    CreateFolder(folder);
    LogDateTime time = p.time;
    time.millisecond = ms;
    const std::string path = folder + LogFileNameStamp(time) + " - " + FName + ".log";
    platform::FileHandle file;
    if (file.Open(path)) return;
    // Two failures in the same millisecond share the name: the second is appended rather
    // than replacing the first.
    uint64_t size = 0;
    std::string text = (!file.Size(size) && size > 0) ? "\r\n" : "";
    text += error + "\r\n" + std::string(30, '+') + "\r\n";
    text += line.substr(line.size() >= 2 ? 2 : line.size());
    (void)file.Write(platform::Utf8ToAnsi(text));
  } catch (...) {
    // Lost silently, as described above.
  }
}

void TFileLog::ToJournal(TLogLevelF level, uint32_t threadId, std::string_view text) const noexcept {
  platform::JournalPriority priority;
  if (level == 2) {
    priority = platform::JournalPriority::kError;
  } else if (level == 1) {
    priority = platform::JournalPriority::kWarning;
  } else if (level == kBeginLevel || level == kEndLevel) {
    priority = platform::JournalPriority::kInfo;
  } else {
    return;
  }
  const FileLogModule::Journal* journal = FileLogModule::Get().CurrentJournal();
  if (!journal) return;
  platform::JournalEntry entry;
  entry.priority = priority;
  entry.identifier = journal->identifier;
  entry.logName = FName;
  entry.level = level;
  entry.threadId = threadId;
  entry.message = text;
  (void)journal->sink.Send(entry);  // a journal that cannot take it drops it
}

void EnableSystemJournal(std::string_view journalSocket, std::string_view syslogSocket) {
  FileLogModule::Get().SetJournal(std::make_unique<FileLogModule::Journal>(
      journalSocket.empty() ? platform::kJournalSocket : journalSocket,
      syslogSocket.empty() ? platform::kSyslogSocket : syslogSocket,
      platform::Utf8Of(platform::FsPath(platform::ExecutablePath()).stem())));
}

void DisableSystemJournal() { FileLogModule::Get().SetJournal(nullptr); }

void InitFileLog(const std::string& defaultRoot) {
  FileLogModule::Get().Init(defaultRoot);
  FileLogModule::ArmProcessEnd();
}

TFileLog& AppLog() { return FileLogModule::Get().AppLog(); }

}  // namespace zent
