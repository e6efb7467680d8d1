// An owned Windows HANDLE closed on every way out of its scope (win32 implementation files
// only). Both "no handle" values the API uses (NULL and INVALID_HANDLE_VALUE) count as empty.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <system_error>

namespace zent::platform::win32 {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  // Hands the handle over; this object no longer closes it.
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (*this) ::CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// Headers shared with POSIX keep a handle in an int: kernel handles fit in 32 bits by the
// system's own guarantee (HandleToLong / LongToHandle), and -1 stands for "none".
inline int IntFromHandle(HANDLE h) {
  return (h == nullptr || h == INVALID_HANDLE_VALUE) ? -1 : static_cast<int>(::HandleToLong(h));
}
inline HANDLE HandleFromInt(int value) { return value < 0 ? nullptr : ::LongToHandle(value); }

// The calling thread's last error as an error code of the system category.
inline std::error_code LastError() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

// Writes all of `bytes`, going on after short writes; a write that takes nothing is a full
// device.
inline std::error_code WriteAll(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr)) return LastError();
    if (written == 0) return std::make_error_code(std::errc::no_space_on_device);
    bytes.remove_prefix(written);
  }
  return {};
}

}  // namespace zent::platform::win32
