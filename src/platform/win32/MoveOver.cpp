#include "platform/win32/MoveOver.h"

#include <windows.h>

#include <algorithm>

namespace zent::platform::win32 {
namespace {

// What a holder of the target (or of the source) looks like to MoveFileExW. Access denied
// is among them: it is what a file open without delete sharing, or one waiting for its
// last handle to close before it is deleted, gives.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

std::error_code MoveOver(const std::wstring& from, const std::wstring& to) {
  const ULONGLONG deadline = ::GetTickCount64() + kMoveOverPatienceMs;
  DWORD pause = 10;
  for (;;) {
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
    const DWORD error = ::GetLastError();
    const ULONGLONG now = ::GetTickCount64();
    if (!HeldByAnother(error) || now >= deadline) return {static_cast<int>(error), std::system_category()};
    ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, deadline - now)));
    pause = pause < 160 ? pause * 2 : pause;
  }
}

}  // namespace zent::platform::win32
