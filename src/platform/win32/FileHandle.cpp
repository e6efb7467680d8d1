// Windows: CreateFileW with FILE_APPEND_DATA only, so every WriteFile goes to the end of the
// file even when another process appends too; shared for reading and writing so other
// processes' logs and viewers keep working. A record is one WriteFile.
#include "platform/FileHandle.h"

#include <utility>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

HANDLE H(NativeHandle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

FileHandle::~FileHandle() { Close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::error_code FileHandle::Open(const std::string& path) {
  Close();
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::make_error_code(std::errc::is_a_directory);
  win32::UniqueHandle file(::CreateFileW(win32::Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win32::LastError();
  // A device or pipe under the name is refused.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return std::make_error_code(std::errc::invalid_argument);
  handle_ = reinterpret_cast<NativeHandle>(file.release());
  path_ = path;
  return {};
}

void FileHandle::Close() noexcept {
  if (handle_ != kNoHandle) ::CloseHandle(H(handle_));
  handle_ = kNoHandle;
  path_.clear();
}

std::error_code FileHandle::Size(uint64_t& size) const {
  if (handle_ == kNoHandle) return std::make_error_code(std::errc::bad_file_descriptor);
  LARGE_INTEGER n{};
  if (!::GetFileSizeEx(H(handle_), &n)) return win32::LastError();
  size = static_cast<uint64_t>(n.QuadPart);
  return {};
}

std::error_code FileHandle::Write(std::string_view data) const {
  if (handle_ == kNoHandle) return std::make_error_code(std::errc::bad_file_descriptor);
  return win32::WriteAll(H(handle_), data);
}

std::error_code FileHandle::Flush() {
  if (handle_ == kNoHandle) return std::make_error_code(std::errc::bad_file_descriptor);
  return ::FlushFileBuffers(H(handle_)) ? std::error_code{} : win32::LastError();
}

}  // namespace zent::platform
