// Windows: the executable from GetModuleFileNameW; the roaming data folder from %APPDATA%
// (which the system sets to the known folder, and which a test can point elsewhere), else
// SHGetKnownFolderPath(FOLDERID_RoamingAppData); the current folder through
// SetCurrentDirectoryW.
#include "platform/Paths.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

bool IsAbsolute(std::wstring_view path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         path.starts_with(L"\\\\");
}

}  // namespace

std::string ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return win32::Narrow(buf);
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

std::optional<std::string> RoamingAppDataFolder() {
  std::wstring folder;
  wchar_t env[32768];
  const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", env, 32768);
  if (n > 0 && n < 32768 && IsAbsolute(std::wstring_view(env, n))) {
    folder.assign(env, n);
  } else {
    PWSTR known = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr, &known))) {
      ::CoTaskMemFree(known);
      return std::nullopt;
    }
    folder = known;
    ::CoTaskMemFree(known);
  }
  if (folder.empty()) return std::nullopt;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return win32::Narrow(folder);
}

bool IsWritableFolder(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  if (folder.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Access lists decide, so the answer comes from trying: a file that goes again on close.
  const std::string probe = folder + "\\.zent-write-probe-" + std::to_string(::GetCurrentProcessId()) + "-" +
                            std::to_string(counter++);
  win32::UniqueHandle file(::CreateFileW(win32::Wide(probe).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                         nullptr));
  return static_cast<bool>(file);
}

std::error_code SetCurrentFolder(const std::string& folder) {
  if (!::SetCurrentDirectoryW(win32::Wide(folder).c_str())) return win32::LastError();
  return {};
}

}  // namespace zent::platform
