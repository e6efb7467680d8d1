// Windows: a hidden ".partial-…" file in the destination folder, open for as long as we write
// and shared with readers only (so the bytes can be checked through its name). Nobody can
// delete or rename it meanwhile, which is how a clean-up tells a download still running from
// a leftover: a leftover opens for deletion, a live one refuses with a sharing violation.
// Commit clears the hidden attribute, puts the bytes on disk, closes the file and renames it
// over the final name with MoveFileExW (atomic within one volume; tried again for a moment
// while another program holds the old file).
#include "platform/PartialFile.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/win32/MoveOver.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

constexpr char kHiddenPrefix[] = ".partial-";

HANDLE H(int fd) { return win32::HandleFromInt(fd); }

}  // namespace

PartialFile::~PartialFile() { Discard(); }

std::error_code PartialFile::Create(const std::string& folder, unsigned /*mode*/) {
  static std::atomic<unsigned> counter{0};
  Discard();
  folder_ = folder.empty() ? "." : folder;
  while (folder_.size() > 1 && (folder_.back() == '/' || folder_.back() == '\\')) folder_.pop_back();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = folder_ + "\\" + kHiddenPrefix + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(::GetTickCount64() % 100000) + "-" + std::to_string(counter++);
    HANDLE h = ::CreateFileW(win32::Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      hiddenName_ = name;
      fd_ = win32::IntFromHandle(h);
      return {};
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return win32::LastError();
  }
  return std::make_error_code(std::errc::file_exists);
}

std::error_code PartialFile::Write(const char* data, size_t size) {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  if (auto ec = win32::WriteAll(H(fd_), std::string_view(data, size))) return ec;
  size_ += size;
  return {};
}

std::string PartialFile::ReadablePath() const { return fd_ < 0 ? std::string() : hiddenName_; }

std::error_code PartialFile::Commit(const std::string& path) {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  std::error_code ec;
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(H(fd_), FileBasicInfo, &basic, sizeof basic)) ec = win32::LastError();
  if (!ec && !::FlushFileBuffers(H(fd_))) ec = win32::LastError();
  ::CloseHandle(H(fd_));
  fd_ = -1;
  if (!ec) ec = win32::MoveOver(win32::Wide(hiddenName_), win32::Wide(path));
  if (!ec) hiddenName_.clear();  // it has its final name now
  Discard();
  return ec;
}

void PartialFile::Discard() noexcept {
  if (fd_ >= 0) ::CloseHandle(H(fd_));
  fd_ = -1;
  if (!hiddenName_.empty()) ::DeleteFileW(win32::Wide(hiddenName_).c_str());
  hiddenName_.clear();
  size_ = 0;
}

bool IsPartialFileName(const std::string& name) { return name.rfind(kHiddenPrefix, 0) == 0; }

int RemoveStalePartialFiles(const std::string& folder) {
  std::vector<std::wstring> paths;
  const std::wstring base = win32::Wide(folder) + L"\\";
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((base + L".partial-*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPartialFileName(win32::Narrow(found.cFileName)))
        paths.push_back(base + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  int removed = 0;
  for (const auto& path : paths) {
    // Opening for deletion with no sharing succeeds only when no writer has it open; the
    // file goes when this handle closes.
    HANDLE h = ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    ::CloseHandle(h);
    ++removed;
  }
  return removed;
}

}  // namespace zent::platform
