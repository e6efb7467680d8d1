// Windows: ShellExecuteExW with the "open" verb, whose failure numbers are the ones Shell.h
// copies. An address is handed over only when it is a web or mail address (http, https, ftp,
// mailto): ShellExecuteExW runs whatever else names a program (a path, "file:", "shell:" and
// the protocol handlers of installed programs), so anything else is refused as access denied.
#include "platform/Shell.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

// ShellExecuteExW wants COM on the calling thread; whatever model the thread already has
// serves as well.
class ComForThisCall {
 public:
  ComForThisCall() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComForThisCall() {
    if (ok_) ::CoUninitialize();
  }
  ComForThisCall(const ComForThisCall&) = delete;
  ComForThisCall& operator=(const ComForThisCall&) = delete;

 private:
  bool ok_;
};

int Open(const std::wstring& target, const std::wstring& folder) {
  ComForThisCall com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (::ShellExecuteExW(&info)) return kShellOpened;
  const auto code = static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
  if (code > 0 && code <= 32) return code;
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kShellFileNotFound;
    case ERROR_ACCESS_DENIED:
      return kShellAccessDenied;
    default:
      return kShellNoAssociation;
  }
}

bool IsWebOrMailAddress(const std::string& address) {
  const size_t colon = address.find(':');
  if (colon == std::string::npos) return false;
  std::string scheme = address.substr(0, colon);
  for (char& c : scheme) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto";
}

}  // namespace

int ShellOpen(const std::string& path, const std::string& workingDirectory) {
  if (path.empty()) return kShellFileNotFound;
  const std::wstring target = win32::Wide(path);
  if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
    return ::GetLastError() == ERROR_ACCESS_DENIED ? kShellAccessDenied : kShellFileNotFound;
  return Open(target, win32::Wide(workingDirectory));
}

int ShellOpenAddress(const std::string& address) {
  if (address.empty() || address.find('\0') != std::string::npos) return kShellFileNotFound;
  if (!IsWebOrMailAddress(address)) return kShellAccessDenied;
  return Open(win32::Wide(address), {});
}

}  // namespace zent::platform
