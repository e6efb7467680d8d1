// Windows: CreateFileW for reading, shared with writers and renamers (the name may be replaced
// while we read, the handle keeps the file we opened), GetFileType and the attributes of the
// open handle, ReadFile at an offset. Without `followLink` a reparse point is opened as itself
// and refused. The private copy is created with CREATE_NEW under a fresh name and shared with
// nobody while it is written; it takes the folder's inherited access list.
#include "platform/ReadOnlyFile.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

HANDLE H(int fd) { return win32::HandleFromInt(fd); }

}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

void ReadOnlyFile::Close() noexcept {
  if (fd_ >= 0) ::CloseHandle(H(fd_));
  fd_ = -1;
  size_ = 0;
}

std::error_code ReadOnlyFile::Open(const std::string& path, bool followLink) {
  Close();
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;  // lets a folder open, so it is refused below
  if (!followLink) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  win32::UniqueHandle file(::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, flags, nullptr));
  if (!file) return win32::LastError();
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return std::make_error_code(std::errc::invalid_argument);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) return win32::LastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::make_error_code(std::errc::invalid_argument);
  size_ = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  fd_ = win32::IntFromHandle(file.release());
  return {};
}

std::error_code ReadOnlyFile::ReadAt(uint64_t offset, void* data, size_t size, size_t& got) const {
  got = 0;
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  auto* out = static_cast<char*>(data);
  while (got < size) {
    const uint64_t at = offset + got;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const size_t left = size - got;
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD n = 0;
    if (!::ReadFile(H(fd_), out + got, chunk, &n, &where)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return win32::LastError();
    }
    if (n == 0) break;
    got += n;
  }
  return {};
}

std::error_code ReadOnlyFile::CopyToPrivateFile(const std::string& folder, uint64_t maxSize,
                                                std::string& copyPath) const {
  static std::atomic<unsigned> counter{0};
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  std::string base = folder;
  if (base.empty() || (base.back() != '/' && base.back() != '\\')) base += '\\';
  std::string name;
  win32::UniqueHandle out;
  for (int attempt = 0; attempt < 100 && !out; ++attempt) {
    name = base + "copy-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64()) +
           "-" + std::to_string(counter++);
    out.reset(::CreateFileW(win32::Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out && ::GetLastError() != ERROR_FILE_EXISTS) return win32::LastError();
  }
  if (!out) return std::make_error_code(std::errc::file_exists);
  auto fail = [&](std::error_code ec) {
    out.reset();
    ::DeleteFileW(win32::Wide(name).c_str());
    return ec;
  };
  std::vector<char> buf(1 << 20);
  uint64_t total = 0;
  for (;;) {
    size_t got = 0;
    if (auto ec = ReadAt(total, buf.data(), buf.size(), got)) return fail(ec);
    if (got == 0) break;
    total += got;
    if (total > maxSize) return fail(std::make_error_code(std::errc::file_too_large));
    if (auto ec = win32::WriteAll(out.get(), std::string_view(buf.data(), got))) return fail(ec);
  }
  if (!::FlushFileBuffers(out.get())) return fail(win32::LastError());
  copyPath = name;
  return {};
}

}  // namespace zent::platform
