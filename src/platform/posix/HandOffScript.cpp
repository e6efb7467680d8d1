// The hand-off script for /bin/sh: the same thirteen steps as the Windows script. The waits
// read every process's executable link under /proc; processes we may not see are skipped.
#include "platform/HandOffScript.h"

#include "platform/Process.h"

namespace zent::platform {
namespace {

std::string WaitBlock(const char* label, const std::string& quotedPath) {
  return std::string("# ") + label +
         "\n"
         "while sleep 1\n"
         "  for e in /proc/[0-9]*/exe; do readlink \"$e\"; done 2>/dev/null | grep -i -F -q -e " +
         quotedPath + "\ndo :; done\n";
}

std::string Words(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& word : words) out += (out.empty() ? "" : " ") + ShellQuote(word);
  return out;
}

}  // namespace

const char* HandOffScriptName() noexcept { return "UpdateCmd.sh"; }

std::vector<std::string> ElevatedCommand(const std::string& program) { return {"sudo", "-n", program}; }

std::string HandOffScriptText(const HandOff& h) {
  const std::string program = ShellQuote(h.programPath);
  const std::string package = ShellQuote(h.packagePath);
  const std::string script = ShellQuote(h.scriptPath);
  std::string s =
      "#!/bin/sh\n"
      "# Installs an update once the program has ended, then starts it again.\n"
      "exec </dev/null >/dev/null 2>&1\n";
  s += WaitBlock("WaitApp", program);
  s += (h.installerCommand.empty() ? package + " /SILENT /NOCANCEL" : Words(h.installerCommand)) + "\n";
  s += "if [ $? -eq 2 ]; then rm -f -- " + script + "; exit 0; fi\n";  // cancelled: Eof
  s += WaitBlock("WaitSetup", package);
  s += "setsid " + program + " &\n";
  s += "# Eof\n";
  s += "rm -f -- " + script + "\n";
  return s;
}

std::error_code StartHandOffScript(const std::string& scriptPath) {
  uint32_t pid = 0;
  // Its own session: the script outlives us and must not share our terminal's signals.
  SpawnOptions options;
  options.newSession = true;
  return SpawnProcess("/bin/sh", {scriptPath}, options, pid);
}

}  // namespace zent::platform
