// Windows: a variable is removed from both the C runtime's copy and the process's block; the
// registry roots are redirected per process with RegOverridePredefKey to keys of our own.
#include "support/ScopedEnvironment.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Process.h"
#include "platform/win32/WideText.h"

namespace zent::testing {

bool UnsetEnvironmentValue(const std::string& name) {
  const std::wstring wide = platform::win32::Wide(name);
  // An empty value removes the runtime's entry; a null one removes the system's.
  const bool runtime = ::_wputenv_s(wide.c_str(), L"") == 0;
  const bool system = ::SetEnvironmentVariableW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ENVVAR_NOT_FOUND;
  return runtime && system;
}

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

HKEY CreateKey(HKEY parent, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | kView,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

}  // namespace

const char* ScopedAppDataFolder::VariableName() { return "APPDATA"; }

ScopedAppDataFolder::ScopedAppDataFolder(const std::filesystem::path& folder)
    : value_(VariableName(), folder.string()) {}

struct ScopedRegistryRoot::State {
  std::wstring base;  // below the real HKEY_CURRENT_USER
};

ScopedRegistryRoot::ScopedRegistryRoot(const std::filesystem::path& folder) : state_(new State) {
  std::filesystem::create_directories(folder);
  // The process id keeps cases that run side by side apart; leftovers of a crashed case
  // with the same id are cleared first.
  state_->base = L"Software\\ZentTests\\" + std::to_wstring(::GetCurrentProcessId());
  ::RegDeleteTreeW(HKEY_CURRENT_USER, state_->base.c_str());
  HKEY user = CreateKey(HKEY_CURRENT_USER, state_->base + L"\\user");
  HKEY machine = CreateKey(HKEY_CURRENT_USER, state_->base + L"\\machine");
  // The override keeps its own copy of the handle.
  const bool redirected = user && machine && ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine) == ERROR_SUCCESS &&
                          ::RegOverridePredefKey(HKEY_CURRENT_USER, user) == ERROR_SUCCESS;
  if (machine) ::RegCloseKey(machine);
  if (user) ::RegCloseKey(user);
  if (!redirected) {
    // Going on would let the case write into the machine's real registry.
    std::fputs("ScopedRegistryRoot: the registry roots could not be redirected\n", stderr);
    std::abort();
  }
}

ScopedRegistryRoot::~ScopedRegistryRoot() {
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, state_->base.c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZentTests");  // only when no other case has keys there
  delete state_;
}

bool ScopedRegistryRoot::HivesAreFiles() { return false; }

}  // namespace zent::testing
