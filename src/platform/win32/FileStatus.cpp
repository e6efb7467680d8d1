// Windows: the attributes of the path itself (a reparse point is a link and is not followed)
// and its owner's security identifier. Windows has no permission bits: the mode is derived
// from the read-only attribute (0755 folders, 0644 files, write bits dropped for read-only);
// who else may write is a matter of the file's access list, which this status does not show.
// The owner is 0 for the administrators' group and the system account (the administrator,
// as EffectiveUserId counts), our own user id for our own user, and 0xFFFFFFFE for anyone else.
#include "platform/FileStatus.h"

#include <aclapi.h>
#include <windows.h>

#include "platform/Process.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

constexpr uint32_t kSomeoneElse = 0xFFFFFFFEu;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return ::IsWellKnownSid(sid, type) != FALSE; }

bool IsOurUser(PSID owner) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  win32::UniqueHandle token(raw);
  alignas(TOKEN_USER) unsigned char buf[256];
  DWORD got = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, buf, sizeof buf, &got)) return false;
  return ::EqualSid(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, owner) != FALSE;
}

uint32_t OwnerOf(const std::wstring& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                              nullptr, nullptr, &sd) != ERROR_SUCCESS) {
    return kSomeoneElse;
  }
  uint32_t id = kSomeoneElse;
  if (owner && (IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid))) {
    id = 0;
  } else if (owner && IsOurUser(owner)) {
    id = EffectiveUserId();
  }
  ::LocalFree(sd);
  return id;
}

}  // namespace

std::error_code GetPathStatus(const std::string& path, PathStatus& status) {
  const std::wstring wide = win32::Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return win32::LastError();
  status = PathStatus{};
  status.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status.folder = !status.link && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.regularFile = !status.link && !status.folder;
  status.mode = status.folder ? 0755 : 0644;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) status.mode &= ~0222u;
  status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  status.owner = OwnerOf(wide);
  return {};
}

}  // namespace zent::platform
