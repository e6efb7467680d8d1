// Windows: the process list from a Toolhelp snapshot with QueryFullProcessImageNameW; a process
// is ended with TerminateProcess (code kTerminatedExitCode); programs start with CreateProcessW
// (never through cmd.exe) on a command line quoted by the C runtime's rules, and inherit only
// our standard handles (a handle list), never another handle a library left inheritable.
// A started child's process handle is kept until WaitProcess has seen its end, as a POSIX
// zombie keeps its exit status, so the id stays valid and its code readable until then.
#include "platform/Process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/WindowsCommandLine.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

bool IsSinglePid(uint32_t pid) { return pid > 0 && pid <= static_cast<uint32_t>(INT_MAX); }

std::mutex gChildrenMutex;
std::unordered_map<uint32_t, HANDLE>& Children() {
  static std::unordered_map<uint32_t, HANDLE> children;
  return children;
}

bool HasSeparator(const std::string& path) { return path.find_first_of("/\\") != std::string::npos; }

bool IsFile(const std::wstring& path, DWORD& attributes) {
  attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

// A bare name looked up in PATH (with ".exe" added when it names no extension); the current
// folder is never searched.
std::optional<std::wstring> FindInPath(const std::string& name) {
  const auto path = EnvironmentValue("PATH");
  if (!path) return std::nullopt;
  const bool hasExtension = name.find('.') != std::string::npos;
  std::string_view rest = *path;
  for (;;) {
    const size_t semi = rest.find(';');
    std::string dir(rest.substr(0, semi));
    if (!dir.empty()) {
      if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
      for (const std::string& candidate : {dir + name, dir + name + ".exe"}) {
        if (hasExtension && candidate.size() > dir.size() + name.size()) continue;
        DWORD attributes = 0;
        const std::wstring wide = win32::Wide(candidate);
        if (IsFile(wide, attributes) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return wide;
      }
    }
    if (semi == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(semi + 1);
  }
}

// Our standard handles, duplicated as inheritable for one start; closed again afterwards.
class InheritedStdHandles {
 public:
  explicit InheritedStdHandles(bool newConsole) {
    const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
      const HANDLE h = ::GetStdHandle(ids[i]);
      if (h == nullptr || h == INVALID_HANDLE_VALUE) continue;
      const DWORD type = ::GetFileType(h);
      // A new console brings its own console streams; files and pipes are passed on.
      if (type == FILE_TYPE_UNKNOWN || (newConsole && type == FILE_TYPE_CHAR)) continue;
      HANDLE dup = nullptr;
      if (::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &dup, 0, TRUE,
                            DUPLICATE_SAME_ACCESS)) {
        std_[i] = dup;
        list_[count_++] = dup;
      }
    }
  }
  ~InheritedStdHandles() {
    for (HANDLE h : std_) {
      if (h) ::CloseHandle(h);
    }
  }
  InheritedStdHandles(const InheritedStdHandles&) = delete;
  InheritedStdHandles& operator=(const InheritedStdHandles&) = delete;

  bool any() const { return count_ > 0; }
  HANDLE in() const { return std_[0]; }
  HANDLE out() const { return std_[1]; }
  HANDLE err() const { return std_[2]; }
  HANDLE* list() { return list_; }
  size_t count() const { return count_; }

 private:
  HANDLE std_[3] = {nullptr, nullptr, nullptr};
  HANDLE list_[3] = {nullptr, nullptr, nullptr};
  size_t count_ = 0;
};

// Starts the program; fills `info` with its process and thread handles.
std::error_code Start(const std::string& program, const std::vector<std::string>& args, const SpawnOptions& options,
                      DWORD extraFlags, PROCESS_INFORMATION& info) {
  if (program.empty()) return std::make_error_code(std::errc::invalid_argument);
  std::wstring application;
  if (HasSeparator(program)) {
    application = win32::Wide(program);
  } else {
    auto found = FindInPath(program);
    if (!found) return std::make_error_code(std::errc::no_such_file_or_directory);
    application = *found;
  }
  DWORD attributes = 0;
  if (!IsFile(application, attributes)) return win32::LastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::make_error_code(std::errc::permission_denied);
  std::wstring folder;
  if (!options.workingDirectory.empty()) {
    folder = win32::Wide(options.workingDirectory);
    DWORD folderAttributes = 0;
    if (!IsFile(folder, folderAttributes)) return win32::LastError();
    if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::make_error_code(std::errc::not_a_directory);
  }
  std::wstring commandLine = win32::Wide(WindowsCommandLine(win32::Narrow(application), args));

  InheritedStdHandles handles(options.newSession);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  std::vector<unsigned char> attributeBuffer;
  DWORD flags = CREATE_UNICODE_ENVIRONMENT | extraFlags;
  if (options.newSession) flags |= CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;
  if (handles.any()) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributeBuffer.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return win32::LastError();
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.list(),
                                     handles.count() * sizeof(HANDLE), nullptr, nullptr)) {
      const auto ec = win32::LastError();
      ::DeleteProcThreadAttributeList(list);
      return ec;
    }
    startup.lpAttributeList = list;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.in();
    startup.StartupInfo.hStdOutput = handles.out();
    startup.StartupInfo.hStdError = handles.err();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  const BOOL ok = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, handles.any(), flags,
                                   nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &info);
  const std::error_code ec = ok ? std::error_code() : win32::LastError();
  if (startup.lpAttributeList) ::DeleteProcThreadAttributeList(startup.lpAttributeList);
  return ec;
}

std::optional<uint32_t> ParentProcessId() {
  win32::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::nullopt;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return std::nullopt;
}

}  // namespace

uint32_t CurrentProcessId() noexcept { return ::GetCurrentProcessId(); }

uint32_t CurrentThreadId() noexcept { return ::GetCurrentThreadId(); }

uint32_t EffectiveUserId() noexcept {
  // 0 for an elevated administrator, as root is on POSIX; else the user's relative id.
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return 0xFFFFFFFEu;
  win32::UniqueHandle token(raw);
  TOKEN_ELEVATION elevation{};
  DWORD got = 0;
  if (::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &got) &&
      elevation.TokenIsElevated) {
    return 0;
  }
  alignas(TOKEN_USER) unsigned char buf[256];
  if (!::GetTokenInformation(token.get(), TokenUser, buf, sizeof buf, &got)) return 0xFFFFFFFEu;
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buf)->User.Sid;
  const UCHAR count = *::GetSidSubAuthorityCount(sid);
  return count ? static_cast<uint32_t>(*::GetSidSubAuthority(sid, count - 1u)) : 0xFFFFFFFEu;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const std::wstring wide = win32::Wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {
      value.resize(n);
      return win32::Narrow(value);
    }
    value.resize(n);
  }
}

std::error_code SetEnvironmentValue(const std::string& name, const std::string& value) {
  const std::wstring wideName = win32::Wide(name), wideValue = win32::Wide(value);
  // The C runtime keeps a copy of its own (getenv reads it); both must agree. An empty value
  // removes the runtime's entry, so the system's block is set afterwards to keep it.
  if (::_wputenv_s(wideName.c_str(), wideValue.c_str()) != 0)
    return std::make_error_code(std::errc::invalid_argument);
  if (!::SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str())) return win32::LastError();
  return {};
}

std::error_code ResetEnvironment(const std::string& path) {
  std::vector<std::wstring> names;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
      const std::wstring_view text(entry);
      // "=C:" and the like are the per-drive folders, not variables.
      const size_t eq = text.find(L'=', 1);
      if (eq != std::wstring_view::npos && text.front() != L'=') names.emplace_back(text.substr(0, eq));
    }
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& name : names) {
    ::_wputenv_s(name.c_str(), L"");
    ::SetEnvironmentVariableW(name.c_str(), nullptr);
  }
  return SetEnvironmentValue("PATH", path);
}

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> list;
  win32::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return list;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    // The idle and system processes and other users' processes have no readable path.
    if (auto path = ProcessExePath(entry.th32ProcessID)) list.push_back({entry.th32ProcessID, std::move(*path)});
  }
  return list;
}

std::optional<std::string> ProcessExePath(uint32_t pid) {
  if (!IsSinglePid(pid)) return std::nullopt;
  win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::nullopt;
  // A process that has ended stays findable while anyone holds a handle to it (Wine keeps
  // it a while longer by itself); it is gone for us all the same.
  if (DWORD code = 0; ::GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return std::nullopt;
  std::wstring buf(1024, L'\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(buf.size());
    if (::QueryFullProcessImageNameW(process.get(), 0, buf.data(), &size)) {
      buf.resize(size);
      if (buf.empty()) return std::nullopt;
      return win32::Narrow(buf);
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buf.size() >= 32768) return std::nullopt;
    buf.resize(buf.size() * 2);
  }
}

bool TerminateProcess(uint32_t pid) {
  if (!IsSinglePid(pid)) return false;
  win32::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  return process && ::TerminateProcess(process.get(), static_cast<UINT>(kTerminatedExitCode));
}

std::error_code SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                             const SpawnOptions& options, uint32_t& pid) {
  PROCESS_INFORMATION info{};
  if (auto ec = Start(program, args, options, 0, info)) return ec;
  ::CloseHandle(info.hThread);
  {
    std::lock_guard lock(gChildrenMutex);
    Children()[info.dwProcessId] = info.hProcess;
  }
  pid = info.dwProcessId;
  return {};
}

std::error_code ReplaceProcess(const std::string& program, const std::vector<std::string>& args,
                               bool endWithParent) {
  // Windows cannot run another program in our process: it starts as our child, inside a job
  // that ends it with us, and we stay as its stand-in until it ends, with its exit code. With
  // `endWithParent` we also end (and so it) when the process that started us ends.
  win32::UniqueHandle parent;
  if (endWithParent) {
    const auto parentId = ParentProcessId();
    if (parentId) parent.reset(::OpenProcess(SYNCHRONIZE, FALSE, *parentId));
    if (!parent || ::WaitForSingleObject(parent.get(), 0) == WAIT_OBJECT_0)
      return std::make_error_code(std::errc::no_such_process);
  }
  win32::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) return win32::LastError();
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    return win32::LastError();
  PROCESS_INFORMATION info{};
  if (auto ec = Start(program, args, {}, CREATE_SUSPENDED, info)) return ec;
  win32::UniqueHandle process(info.hProcess), thread(info.hThread);
  if (!::AssignProcessToJobObject(job.get(), process.get())) {
    const auto ec = win32::LastError();
    ::TerminateProcess(process.get(), 1);
    return ec;
  }
  ::ResumeThread(thread.get());
  const HANDLE waits[2] = {process.get(), parent.get()};
  const DWORD which = ::WaitForMultipleObjects(parent ? 2 : 1, waits, FALSE, INFINITE);
  DWORD code = 1;
  if (which == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
  ::ExitProcess(code);  // the job closes with us and ends the program if it still runs
}

std::optional<int> WaitProcess(uint32_t pid, uint32_t timeoutMs) {
  if (!IsSinglePid(pid)) return std::nullopt;
  // A handle of our own for the wait, since another thread may reap the child meanwhile.
  win32::UniqueHandle process;
  {
    std::lock_guard lock(gChildrenMutex);
    auto it = Children().find(pid);
    if (it == Children().end()) return std::nullopt;  // not our child, or already reaped
    HANDLE dup = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), it->second, ::GetCurrentProcess(), &dup, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
      return std::nullopt;
    }
    process.reset(dup);
  }
  if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return std::nullopt;
  std::lock_guard lock(gChildrenMutex);
  auto it = Children().find(pid);
  if (it == Children().end()) return std::nullopt;  // reaped by another thread's wait
  ::CloseHandle(it->second);
  Children().erase(it);
  return static_cast<int>(code);
}

}  // namespace zent::platform
