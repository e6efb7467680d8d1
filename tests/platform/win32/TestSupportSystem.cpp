// The Windows part of the platform tests' helpers: arguments from the command line the C
// runtime would split, named events as ready signals, and the child actions about handles.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <functional>

#include <filesystem>
#include <fstream>

#include "../TestSupport.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform::testing {
namespace {

// The event that stands for a ready signal's path (a digest: kernel object names are short
// and hold no backslash).
std::wstring EventName(const std::string& path) {
  return L"Local\\zent-ready-" + std::to_wstring(std::hash<std::string>{}(path));
}

}  // namespace

namespace system {

std::vector<std::string> OwnArguments() {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; words && i < count; ++i) args.push_back(win32::Narrow(words[i]));
  ::LocalFree(words);
  return args;
}

void SetEnv(const std::string& name, const char* value) {
  const std::wstring wide = win32::Wide(name);
  if (value) {
    const std::wstring v = win32::Wide(value);
    ::_wputenv_s(wide.c_str(), v.c_str());
    ::SetEnvironmentVariableW(wide.c_str(), v.c_str());
  } else {
    ::_wputenv_s(wide.c_str(), L"");
    ::SetEnvironmentVariableW(wide.c_str(), nullptr);
  }
}

void SignalReady(const std::string& path) {
  win32::UniqueHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(path).c_str()));
  if (!event) std::_Exit(90);
  if (!::SetEvent(event.get())) std::_Exit(91);
}

void ParkUntilKilled() {
  ::Sleep(120000);  // a child whose parent died must not linger for ever
  std::_Exit(97);
}

void RemoveUserRegistryKey(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  ::RegDeleteTreeW(key, win32::Wide(path).c_str());
  ::RegDeleteKeyExW(key, win32::Wide(path).c_str(), KEY_WOW64_64KEY, 0);
  ::RegCloseKey(key);
}

void RunChild(const std::string& action, const std::vector<std::string>& a) {
  auto arg = [&](size_t i) -> const std::string& {
    if (i >= a.size()) std::_Exit(99);
    return a[i];
  };
  if (action == "ready") {
    // Started without arguments (by the shell): the signal's path comes in ZENT_TEST_READY;
    // the current folder is written beside it first.
    const auto path = EnvironmentValue("ZENT_TEST_READY");
    if (!path) std::_Exit(92);
    std::ofstream(FsPath(*path + ".cwd"), std::ios::binary) << Utf8Of(std::filesystem::current_path());
    SignalReady(*path);
    std::_Exit(0);
  }
  if (action == "handleclosed") {
    // The handle value the parent left inheritable names nothing here.
    const auto value = static_cast<uintptr_t>(std::strtoull(arg(0).c_str(), nullptr, 10));
    DWORD flags = 0;
    std::_Exit(::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0);
  }
  std::_Exit(98);
}

}  // namespace system

ReadySignal::ReadySignal(const std::string& path) : path_(path) {
  const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, EventName(path).c_str());
  handle_ = event ? reinterpret_cast<std::intptr_t>(event) : -1;
}

ReadySignal::~ReadySignal() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ReadySignal::Wait() {
  if (handle_ == -1) return false;
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), Child::kGuardMs) == WAIT_OBJECT_0;
}

}  // namespace zent::platform::testing
