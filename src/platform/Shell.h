// Opening a file the way the desktop would ("open" on a document or a program).
// Results keep the meaning of the Windows call the callers were written for: above 32 is
// success; below 32 is a failure (2 not found, 5 access denied, 31 no program for it).
// Contract: nothing throws; the call never waits for the started program.
#pragma once

#include <string>

namespace zent::platform {

inline constexpr int kShellOpened = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellNoAssociation = 31;

// An executable file is started directly; anything else is handed to the desktop's opener
// (Linux: "xdg-open", looked up in PATH at the time of the call) as one argument, never
// through a shell.
// `workingDirectory` (empty: ours) is where a started program begins.
int ShellOpen(const std::string& path, const std::string& workingDirectory = {});

// Hands an address (a web address, or whatever a page asks to open) to the desktop's opener
// as it stands, as one argument, never through a shell and never started as a program even
// when it names one. Empty or with a NUL byte (which no argument can carry): not found.
// Windows: the shell itself would start what a path, "file:" or a protocol handler names, so
// only http, https, ftp and mailto addresses are handed over; anything else is access denied.
int ShellOpenAddress(const std::string& address);

}  // namespace zent::platform
