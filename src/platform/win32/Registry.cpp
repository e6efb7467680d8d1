// Windows: the real registry. Every call opens the key anew (RegOpenKeyExW), so it sees other
// processes' changes, and the registry itself serialises writers. Keys and values are read and
// written in the 64-bit view whatever the build (KEY_WOW64_64KEY), so a 32-bit and a 64-bit
// build share one set of keys and nothing lands under WOW6432Node. Strings are REG_SZ in
// UTF-16; a REG_EXPAND_SZ value is read as it stands (not expanded).
#include "platform/Registry.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

HKEY RootKey(RegRoot root) { return root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::error_code FromStatus(LSTATUS status) {
  switch (status) {
    case ERROR_SUCCESS:
      return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME:
      return std::make_error_code(std::errc::invalid_argument);
    default:
      return {static_cast<int>(status), std::system_category()};
  }
}

// The key path without surrounding backslashes, as the registry wants it.
std::wstring KeyPath(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return win32::Wide(path);
}

// A name the registry cannot hold (a NUL inside) is refused before it reaches it.
bool IsValidName(const std::string& name) { return name.find('\0') == std::string::npos; }

class OpenKey {
 public:
  ~OpenKey() {
    if (key_) ::RegCloseKey(key_);
  }
  LSTATUS Open(RegRoot root, const std::wstring& path, REGSAM access) {
    return ::RegOpenKeyExW(RootKey(root), path.c_str(), 0, access | kView, &key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::error_code QueryValue(RegRoot root, const std::string& path, const std::string& name, DWORD& type,
                           std::wstring& data) {
  OpenKey key;
  if (auto ec = FromStatus(key.Open(root, KeyPath(path), KEY_QUERY_VALUE))) return ec;
  const std::wstring valueName = win32::Wide(name);
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    data.assign(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &got);
    if (status == ERROR_MORE_DATA) continue;  // it grew between the two calls
    if (status != ERROR_SUCCESS) return FromStatus(status);
    if (type == REG_DWORD && got != sizeof(DWORD)) return std::make_error_code(std::errc::invalid_argument);
    data.resize(got / sizeof(wchar_t));
    return {};
  }
  return std::make_error_code(std::errc::resource_unavailable_try_again);
}

}  // namespace

std::string RegistryKey::HivePath(RegRoot root) {
  return root == RegRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::error_code RegistryKey::Open(RegRoot root, const std::string& path, bool write, RegistryKey& key) {
  key = RegistryKey{};
  if (!IsValidName(path)) return std::make_error_code(std::errc::invalid_argument);
  OpenKey probe;
  const REGSAM access = KEY_READ | (write ? KEY_WRITE : 0);
  if (auto ec = FromStatus(probe.Open(root, KeyPath(path), access))) return ec;
  key.root_ = root;
  key.path_ = path;
  key.writable_ = write;
  key.open_ = true;
  return {};
}

std::error_code RegistryKey::Create(RegRoot root, const std::string& path, RegistryKey& key) {
  key = RegistryKey{};
  if (!IsValidName(path)) return std::make_error_code(std::errc::invalid_argument);
  HKEY created = nullptr;
  const LSTATUS status = ::RegCreateKeyExW(RootKey(root), KeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE | kView, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  ::RegCloseKey(created);
  key.root_ = root;
  key.path_ = path;
  key.writable_ = true;
  key.open_ = true;
  return {};
}

std::error_code RegistryKey::ReadString(const std::string& name, std::string& value) const {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  DWORD type = 0;
  std::wstring data;
  if (auto ec = QueryValue(root_, path_, name, type, data)) return ec;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::make_error_code(std::errc::invalid_argument);
  // Stored strings usually end in a NUL, which is not part of the value.
  while (!data.empty() && data.back() == L'\0') data.pop_back();
  value = win32::Narrow(data);
  return {};
}

std::error_code RegistryKey::ReadDword(const std::string& name, uint32_t& value) const {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  DWORD type = 0;
  std::wstring data;
  if (auto ec = QueryValue(root_, path_, name, type, data)) return ec;
  if (type != REG_DWORD) return std::make_error_code(std::errc::invalid_argument);
  DWORD dword = 0;
  std::memcpy(&dword, data.data(), sizeof dword);
  value = dword;
  return {};
}

std::error_code RegistryKey::WriteString(const std::string& name, const std::string& value) {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  if (!writable_) return std::make_error_code(std::errc::permission_denied);
  if (!IsValidName(name)) return std::make_error_code(std::errc::invalid_argument);
  OpenKey key;
  if (auto ec = FromStatus(key.Open(root_, KeyPath(path_), KEY_SET_VALUE))) return ec;
  const std::wstring data = win32::Wide(value);
  return FromStatus(::RegSetValueExW(key.get(), win32::Wide(name).c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
}

std::error_code RegistryKey::WriteDword(const std::string& name, uint32_t value) {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  if (!writable_) return std::make_error_code(std::errc::permission_denied);
  if (!IsValidName(name)) return std::make_error_code(std::errc::invalid_argument);
  OpenKey key;
  if (auto ec = FromStatus(key.Open(root_, KeyPath(path_), KEY_SET_VALUE))) return ec;
  const DWORD dword = value;
  return FromStatus(::RegSetValueExW(key.get(), win32::Wide(name).c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&dword), sizeof dword));
}

}  // namespace zent::platform
