// POSIX: programs are started with posix_spawn; documents go to xdg-open. Children are not
// awaited; those that have ended are reaped at the next call so none lingers as a zombie
// for longer than that.
#include "platform/Shell.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Process.h"

namespace zent::platform {
namespace {

std::mutex gChildrenMutex;
std::vector<uint32_t> gChildren;

void ReapEnded() {
  std::lock_guard lock(gChildrenMutex);
  std::erase_if(gChildren, [](uint32_t pid) { return WaitProcess(pid, 0).has_value(); });
}

void Remember(uint32_t pid) {
  std::lock_guard lock(gChildrenMutex);
  gChildren.push_back(pid);
}

// The full path of `name` in PATH, or empty.
std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string_view rest = path;
  while (true) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    // An empty entry would mean the current folder; a kiosk never runs programs from there.
    if (!dir.empty()) {
      const std::string candidate = std::string(dir) + "/" + name;
      struct stat st{};
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

int ResultOf(const std::error_code& ec) {
  if (!ec) return kShellOpened;
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) {
    return kShellAccessDenied;
  }
  if (ec == std::errc::no_such_file_or_directory) return kShellFileNotFound;
  return kShellNoAssociation;
}

int OpenWithDesktop(const std::string& target) {
  const std::string opener = FindInPath("xdg-open");
  if (opener.empty()) return kShellNoAssociation;
  SpawnOptions options;
  options.newSession = true;  // the opened program outlives us and our terminal
  uint32_t pid = 0;
  const auto ec = SpawnProcess(opener, {target}, options, pid);
  if (!ec) Remember(pid);
  return ec ? kShellNoAssociation : kShellOpened;
}

}  // namespace

int ShellOpen(const std::string& path, const std::string& workingDirectory) {
  ReapEnded();
  if (path.empty()) return kShellFileNotFound;
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return errno == EACCES ? kShellAccessDenied : kShellFileNotFound;
  SpawnOptions options;
  options.newSession = true;  // the opened program outlives us and our terminal
  options.workingDirectory = workingDirectory;
  uint32_t pid = 0;
  if (S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0) {
    // Started by its path; a relative path must not be looked up in PATH.
    const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
    const auto ec = SpawnProcess(program, {}, options, pid);
    if (!ec) Remember(pid);
    return ResultOf(ec);
  }
  return OpenWithDesktop(path);
}

int ShellOpenAddress(const std::string& address) {
  ReapEnded();
  if (address.empty() || address.find('\0') != std::string::npos) return kShellFileNotFound;
  return OpenWithDesktop(address);
}

}  // namespace zent::platform
