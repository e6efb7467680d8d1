// Windows: the hand-off script is "UpdateCmd.bat" (MakeUpdateCmdBat, in BatchHandOff.cpp),
// run by the command interpreter in a console of its own and never waited for. The package
// is the installer itself and asks for the administrator's rights on its own, so the
// installer step is always the package; an installer command given is not used here.
#include "platform/HandOffScript.h"

#include <windows.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {

const char* HandOffScriptName() noexcept { return "UpdateCmd.bat"; }

std::vector<std::string> ElevatedCommand(const std::string& program) { return {program}; }

namespace {
// The script searches the process list, which names programs with backslashes, for these
// paths; a "/" our modules joined a path with would never match there.
std::string WithBackslashes(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}
}  // namespace

std::string HandOffScriptText(const HandOff& handOff) {
  return MakeUpdateCmdBat(WithBackslashes(handOff.programPath), WithBackslashes(handOff.packagePath),
                          WithBackslashes(handOff.scriptPath));
}

std::error_code StartHandOffScript(const std::string& scriptPath) {
  // The interpreter expands %…% even inside quotes on its command line, and no Windows path
  // holds a quote: such a path could change the command, so it is refused.
  if (scriptPath.empty() || scriptPath.find_first_of("%\"\r\n") != std::string::npos)
    return std::make_error_code(std::errc::invalid_argument);
  wchar_t system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return win32::LastError();
  // The interpreter by its full path (never one found in the current folder). "/d" skips
  // AutoRun commands; with "/c" it strips the outer quotes and keeps the quoted path.
  const std::wstring interpreter = std::wstring(system, n) + L"\\cmd.exe";
  std::wstring commandLine = L"\"" + interpreter + L"\" /d /c \"\"" + win32::Wide(scriptPath) + L"\"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                        &startup, &info)) {
    return win32::LastError();
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return {};
}

}  // namespace zent::platform
