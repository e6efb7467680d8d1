// The running program's file name and version, version comparison, the process list,
// ending a process and reading one registry string.
#include "common/Utils.h"

#include <charconv>

#include "common/Encoding.h"
#include "common/ErrorWrap.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/FsPath.h"

namespace zent {
namespace {

// Read on first use; initialisation makes that first use happen at start-up.
const TFileInfo& AppFileInfo() {
  static const TFileInfo info = [] {
    TFileInfo fi;
    GetFileInfo(GetAppFileName(), fi);  // no version information leaves the record empty
    return fi;
  }();
  return info;
}

// The parts of a version: runs of characters that are neither "." nor blank. Blanks
// around a "." belong to that separator; a "." followed by nothing or by another "."
// gives an empty part, which then fails to convert.
std::vector<std::string_view> SplitVersion(std::string_view v) {
  std::vector<std::string_view> parts;
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t i = 0;
  while (i < v.size()) {
    const size_t begin = i;
    while (i < v.size() && !isBlank(v[i]) && v[i] != '.') ++i;
    parts.push_back(v.substr(begin, i - begin));
    while (i < v.size() && isBlank(v[i])) ++i;
    if (i < v.size() && v[i] == '.') {
      ++i;
      if (i == v.size()) parts.emplace_back();
      while (i < v.size() && isBlank(v[i])) ++i;
    }
  }
  return parts;
}

int ToInt(std::string_view part) {
  std::string_view digits = part;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
      (digits.front() == '-' && part.front() == '+'))
    throw EConvertError(Format("'%.*s' is not a valid integer value",
                               static_cast<int>(part.size()), part.data()));
  return value;
}

std::string ProcessEntryText(const std::string& path, uint32_t pid) {
  std::string quoted;
  for (char c : path) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return "ModuleName='" + quoted + "';ProcessID=" + std::to_string(pid);
}

}  // namespace

std::string GetAppFileName() { return std::string(Trim(platform::ExecutablePath())); }

std::string GetAppFolder() {
  const std::string exe = GetAppFileName();
  return platform::FolderOf(exe);
}

void InitAppFileInfo() { AppFileInfo(); }

TFileInfo GetAppFileInfo() { return AppFileInfo(); }

std::string GetAppVersion() { return AppFileInfo().Version; }

std::string GetFileVersion(const std::string& fileName) {
  TFileInfo info;
  GetFileInfo(fileName, info);
  return info.Version;
}

int CompareVer(const std::string& v1, const std::string& v2) {
  return CallWrapped("CompareVer", [&] {
    const std::string_view a = Trim(v1), b = Trim(v2);
    if (a.empty() || b.empty()) return 0;
    const auto pa = SplitVersion(a), pb = SplitVersion(b);
    for (size_t i = 0; i < pa.size() && i < pb.size(); ++i) {
      const int x = ToInt(pa[i]), y = ToInt(pb[i]);
      if (y < x) return -1;
      if (x < y) return 1;
    }
    return 0;
  });
}

void GetProcessInfo(std::vector<std::string>& list) {
  CallWrapped("GetProcessInfo", [&] {
    for (const platform::ProcessEntry& entry : platform::ListProcesses())
      GetProcessPath(entry.pid, &list);
  });
}

void GetProcessPath(uint32_t pid, std::vector<std::string>* list) {
  if (!list) return;
  CallWrapped("GetProcessPath", [&] {
    // A process that is gone or that we may not read is skipped, as the list promises.
    if (auto path = platform::ProcessExePath(pid)) list->push_back(ProcessEntryText(*path, pid));
  });
}

void KillProcess(uint32_t pid) {
  CallWrapped("KillProcess", [&] {
    // Ending a process that is already gone or not ours is not an error for the callers.
    platform::TerminateProcess(pid);
  });
}

}  // namespace zent
