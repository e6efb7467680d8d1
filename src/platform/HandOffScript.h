// The update hand-off script, in the system's own command language. A running program cannot
// replace its own files, so the script outlives it: it waits while any process runs from the
// program's path (its helpers included), runs the installer step and waits for it, skips the
// restart when the installer answers 2 (it did not begin), waits while anything runs from the
// package's path, starts the program again detached from itself, and deletes itself.
// Linux writes "UpdateCmd.sh" for /bin/sh (the waits look every second, without case, for the
// path as a substring of every process's executable); Windows writes "UpdateCmd.bat" for the
// command interpreter, whose exact text is MakeUpdateCmdBat (portable, so both builds test it).
// Contract: the text functions are pure; StartHandOffScript returns the system's error.
#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace zent::platform {

struct HandOff {
  std::string programPath;
  std::string packagePath;
  std::string scriptPath;
  // The installer step as command words: empty runs the package with "/SILENT /NOCANCEL";
  // an installed system's root helper is run through ElevatedCommand instead.
  std::vector<std::string> installerCommand;
};

// "UpdateCmd.sh" here, "UpdateCmd.bat" on Windows.
const char* HandOffScriptName() noexcept;

// The script's bytes. Every inserted path and word is quoted for the interpreter, so no path
// can add a command.
std::string HandOffScriptText(const HandOff& handOff);

// Starts the written script detached from us (Linux: /bin/sh in a session of its own).
std::error_code StartHandOffScript(const std::string& scriptPath);

// The command words that run `program` with the administrator's rights and no arguments,
// without asking anybody (Linux: "sudo -n program", allowed by a rule naming exactly it).
std::vector<std::string> ElevatedCommand(const std::string& program);

// Linux: `text` as one word for /bin/sh: in single quotes, each ' written as '\''.
std::string ShellQuote(const std::string& text);

// The Windows script: one wait block (label, one-second pause, process search, loop) and the
// thirteen lines in the ANSI code page, each ending in CR LF.
void AddWaitLoop(std::vector<std::string>& lines, const std::string& label, const std::string& path);
std::string MakeUpdateCmdBat(const std::string& programPath, const std::string& packagePath,
                             const std::string& scriptPath);

}  // namespace zent::platform
