// Windows: FlushFileBuffers on the file; a folder's entries need no flush there. Files created
// in a program folder inherit its access list already, so sharing with the folder's "group"
// has nothing left to do.
#include "platform/InstallFiles.h"

#include <windows.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {

std::error_code FlushToDisk(const std::string& path) {
  const std::wstring wide = win32::Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return win32::LastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {};
  win32::UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return win32::LastError();
  if (!::FlushFileBuffers(file.get())) return win32::LastError();
  return {};
}

std::error_code ShareWithFolderGroup(const std::string& path, const std::string& folder) {
  if (::GetFileAttributesW(win32::Wide(folder).c_str()) == INVALID_FILE_ATTRIBUTES ||
      ::GetFileAttributesW(win32::Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
    return win32::LastError();
  }
  return {};
}

}  // namespace zent::platform
