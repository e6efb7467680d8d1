// Windows: the lock itself is a byte-range lock (LockFileEx) on a lock file, shared for Hold
// and exclusive for Lock, so holders and lockers exclude each other as the contract says,
// two objects exclude each other even in one thread (unlike a mutex, which its owning thread
// may take again), any thread may unlock, and the lock dies with its process. Beside it, every
// object that holds or locks the name keeps a named mutex of that name open (CreateMutexW,
// never owned), the way Windows programs announce that they run: Exists is OpenMutexW, and an
// installer that looks for the program's mutex finds it.
// Session names live in "%TEMP%\zent-locks", machine-wide ("Global\") names in
// "%ProgramData%\zent\locks"; a name becomes a file name percent-encoded (capital letters
// too, since file names there ignore case and mutex names do not). Lock files are never
// deleted, for the same race as on POSIX.
#include "platform/NamedLock.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/LockNames.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

std::wstring MutexName(const std::string& name) {
  // A mutex name holds no backslash after its namespace.
  std::string bare(BareLockName(name));
  std::replace(bare.begin(), bare.end(), '\\', '/');
  return win32::Wide(std::string(IsGlobalLockName(name) ? kGlobalLockPrefix : kLocalLockPrefix) + bare);
}

std::string KnownFolder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) out = win32::Narrow(path);
  ::CoTaskMemFree(path);
  return out;
}

std::string SessionFolder() {
  wchar_t temp[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, temp);
  std::string folder = n > 0 && n <= MAX_PATH + 1 ? win32::Narrow(std::wstring_view(temp, n)) : std::string("C:\\");
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + "zent-locks";
}

std::string GlobalFolder() { return KnownFolder(FOLDERID_ProgramData) + "\\zent\\locks"; }

std::error_code EnsureFolder(const std::string& folder) {
  // Every missing level, from the top; levels above the last may exist or be beyond reach
  // (a drive, a share), so only the last one's failure counts.
  for (size_t at = folder.find_first_of("\\/", 3); at != std::string::npos;
       at = folder.find_first_of("\\/", at + 1)) {
    ::CreateDirectoryW(win32::Wide(folder.substr(0, at)).c_str(), nullptr);
  }
  if (!::CreateDirectoryW(win32::Wide(folder).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return win32::LastError();
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return win32::LastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::make_error_code(std::errc::not_a_directory);
  return {};
}

// The mutexes our objects keep open, by object (the header has room for one handle only).
std::mutex gBeaconsMutex;
std::unordered_map<const NamedLock*, HANDLE>& Beacons() {
  static std::unordered_map<const NamedLock*, HANDLE> beacons;
  return beacons;
}

void RaiseBeacon(const NamedLock* owner, const std::string& name) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, MutexName(name).c_str());
  if (!mutex) return;  // the lock itself holds; only the announcement is missing
  std::lock_guard lock(gBeaconsMutex);
  Beacons()[owner] = mutex;
}

void LowerBeacon(const NamedLock* owner) {
  std::lock_guard lock(gBeaconsMutex);
  auto& beacons = Beacons();
  if (auto it = beacons.find(owner); it != beacons.end()) {
    ::CloseHandle(it->second);
    beacons.erase(it);
  }
}

bool TryLock(HANDLE file, DWORD flags, std::error_code& ec) {
  OVERLAPPED at{};
  if (::LockFileEx(file, flags, 0, 1, 0, &at)) return true;
  if (::GetLastError() != ERROR_LOCK_VIOLATION) ec = win32::LastError();
  return false;
}

}  // namespace

NamedLock::NamedLock(std::string name) : name_(std::move(name)), path_(PathFor(name_)) {}

NamedLock::~NamedLock() {
  LowerBeacon(this);
  if (fd_ >= 0) ::CloseHandle(win32::HandleFromInt(fd_));
}

std::string NamedLock::PathFor(const std::string& name) {
  const std::string folder = IsGlobalLockName(name) ? GlobalFolder() : SessionFolder();
  return folder + "\\" + EncodeFileName(BareLockName(name), Capitals::Encoded) + ".lock";
}

std::error_code NamedLock::Open() {
  if (fd_ >= 0) return {};
  if (auto ec = EnsureFolder(path_.substr(0, path_.rfind('\\')))) return ec;
  HANDLE h = ::CreateFileW(win32::Wide(path_).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return win32::LastError();
  fd_ = win32::IntFromHandle(h);
  return {};
}

std::error_code NamedLock::Hold() {
  if (locked_) return std::make_error_code(std::errc::invalid_argument);
  if (held_) return {};
  if (auto ec = Open()) return ec;
  OVERLAPPED at{};
  if (!::LockFileEx(win32::HandleFromInt(fd_), 0, 0, 1, 0, &at)) return win32::LastError();
  held_ = true;
  RaiseBeacon(this, name_);
  return {};
}

std::error_code NamedLock::Lock(uint32_t timeoutMs) {
  if (held_) return std::make_error_code(std::errc::invalid_argument);
  if (locked_) return {};
  if (auto ec = Open()) return ec;
  const HANDLE file = win32::HandleFromInt(fd_);
  if (timeoutMs == kInfinite) {
    OVERLAPPED at{};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return win32::LastError();
  } else {
    // A timed wait is a series of attempts in short slices, as on POSIX.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      std::error_code ec;
      if (TryLock(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, ec)) break;
      if (ec) return ec;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return std::make_error_code(std::errc::timed_out);
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(5)));
    }
  }
  locked_ = true;
  RaiseBeacon(this, name_);
  return {};
}

void NamedLock::Unlock() {
  if (!locked_ || fd_ < 0) return;
  locked_ = false;
  LowerBeacon(this);
  ::CloseHandle(win32::HandleFromInt(fd_));
  fd_ = -1;
}

bool NamedLock::Exists(const std::string& name) {
  win32::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str()));
  // Access denied means it exists, held by another user.
  return static_cast<bool>(mutex) || ::GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace zent::platform
