// Windows: reads refuse anything GetFileType does not call a disk file; replacement writes a
// temporary file in the same folder, FlushFileBuffers and MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which is atomic within one volume (tried
// again for a moment while another program holds the old file).
// Folder locks are LockFileEx on ".zent-folder.lock" in the folder (a folder itself cannot be
// locked there); the lock dies with the process, the file stays.
// Permission bits have no Windows meaning: new files take the folder's inherited access list,
// and a replaced file keeps its attributes (read-only, hidden) through the copy below.
#include "platform/AtomicFile.h"

#include <windows.h>

#include <atomic>
#include <filesystem>

#include "platform/FsPath.h"
#include "platform/win32/MoveOver.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

// <windows.h> names its own ReplaceFileW so; ours is the one declared in AtomicFile.h.
#undef ReplaceFile

namespace zent::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file a write should replace: the target of a symbolic link, else the path itself.
std::string ResolveTarget(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
  std::error_code ec;
  const auto real = std::filesystem::canonical(FsPath(path), ec);
  return ec ? path : Utf8Of(real);
}

}  // namespace

std::error_code ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const std::wstring wide = win32::Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::make_error_code(std::errc::is_a_directory);
  win32::UniqueHandle file(
      ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win32::LastError();
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return std::make_error_code(std::errc::invalid_argument);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return win32::LastError();
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
    return std::make_error_code(std::errc::file_too_large);
  bytes.reserve(static_cast<size_t>(size.QuadPart));
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buf, sizeof buf, &n, nullptr)) {
      const auto ec = win32::LastError();
      bytes.clear();
      return ec;
    }
    if (n == 0) break;
    // The file may grow while we read it; the limit holds for what we keep.
    if (bytes.size() + n > maxBytes) {
      bytes.clear();
      return std::make_error_code(std::errc::file_too_large);
    }
    bytes.append(buf, n);
  }
  return {};
}

std::error_code WriteNewFile(const std::string& path, std::string_view bytes, unsigned /*permissions*/) {
  const std::wstring wide = win32::Wide(path);
  // CREATE_NEW fails on an existing name, a link included, and never follows one.
  win32::UniqueHandle file(
      ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win32::LastError();
  std::error_code ec = win32::WriteAll(file.get(), bytes);
  if (!ec && !::FlushFileBuffers(file.get())) ec = win32::LastError();
  file.reset();
  if (ec) ::DeleteFileW(wide.c_str());
  return ec;
}

std::error_code ReplaceFile(const std::string& path, std::string_view bytes, unsigned /*newFilePermissions*/) {
  static std::atomic<unsigned> counter{0};
  const std::string target = ResolveTarget(path);
  const std::wstring wideTarget = win32::Wide(target);

  const DWORD old = ::GetFileAttributesW(wideTarget.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY))
    return std::make_error_code(std::errc::is_a_directory);

  std::wstring temp;
  win32::UniqueHandle file;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temp = win32::Wide(target + ".~" + std::to_string(::GetCurrentProcessId()) + "." + std::to_string(counter++));
    file.reset(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && ::GetLastError() != ERROR_FILE_EXISTS) return win32::LastError();
  }
  if (!file) return std::make_error_code(std::errc::file_exists);

  auto fail = [&](std::error_code ec) {
    file.reset();
    ::DeleteFileW(temp.c_str());
    return ec;
  };
  if (auto ec = win32::WriteAll(file.get(), bytes)) return fail(ec);
  if (!::FlushFileBuffers(file.get())) return fail(win32::LastError());
  file.reset();
  // The replaced file's attributes carry over (its read-only bit would refuse the move).
  if (old != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(wideTarget.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
  }
  if (const auto ec = win32::MoveOver(temp, wideTarget)) {
    if (old != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(wideTarget.c_str(), old);
    ::DeleteFileW(temp.c_str());
    return ec;
  }
  if (old != INVALID_FILE_ATTRIBUTES && old != FILE_ATTRIBUTE_NORMAL) {
    ::SetFileAttributesW(wideTarget.c_str(), old);
  }
  return {};
}

FolderLock::~FolderLock() {
  // Closing the handle releases the lock.
  if (fd_ >= 0) ::CloseHandle(win32::HandleFromInt(fd_));
}

std::error_code FolderLock::Acquire(const std::string& folder) {
  if (fd_ >= 0) return {};
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return win32::LastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::make_error_code(std::errc::not_a_directory);
  const std::string lockPath = folder + "\\.zent-folder.lock";
  win32::UniqueHandle file(::CreateFileW(win32::Wide(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
  if (!file) return win32::LastError();
  OVERLAPPED at{};
  if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return win32::LastError();
  fd_ = win32::IntFromHandle(file.release());
  return {};
}

}  // namespace zent::platform
