// Small stateless helpers shared by every module: cleaning path and file names, the
// running program's file name and version, dotted version comparison, the process list,
// ending a process, and reading one registry string.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/FileVersion.h"
#include "platform/Registry.h"

namespace zent {

// Replaces each of  " * / : < > ? ` |  with `replacement` (empty: removes them).
std::string ClearToPath(std::string_view path, std::string_view replacement = {});
// The same, the replacement chosen per character; no function drops the characters.
std::string ClearToPath(std::string_view path, const std::function<std::string(char)>& replace);
// As ClearToPath with "\" added to the set.
std::string ClearToFileName(std::string_view name, std::string_view replacement = {});
std::string ClearToFileName(std::string_view name, const std::function<std::string(char)>& replace);

// Full path of the running executable, trimmed of surrounding blanks.
std::string GetAppFileName();
// The folder of the running executable with a trailing "/"; empty when our path is unknown.
std::string GetAppFolder();
// Reads the running executable's version information; process initialisation calls it once.
// A GetAppFileInfo before it reads the information at that first use.
void InitAppFileInfo();
// The running executable's version information, read once at start-up.
TFileInfo GetAppFileInfo();
std::string GetAppVersion();
std::string GetFileVersion(const std::string& fileName);

// 1 when v2 is newer, -1 when v1 is newer, 0 otherwise (also when either is empty, and
// for parts beyond the shorter version). Throws "CompareVer异常[%s]。" for a part that is
// not a decimal integer.
int CompareVer(const std::string& v1, const std::string& v2);

// Appends "ModuleName='<path>';ProcessID=<pid>" for every process whose executable we may read.
void GetProcessInfo(std::vector<std::string>& list);
// Appends the entry of one process; nothing for a process we may not read.
void GetProcessPath(uint32_t pid, std::vector<std::string>* list);
// Ends the process; a failure to reach it is not reported.
void KillProcess(uint32_t pid);

// True and the value when the string value exists; false leaves `value` unchanged.
bool ReadRegString(platform::RegRoot root, const std::string& keyPath, const std::string& name,
                   std::string& value);

}  // namespace zent
