#include "update/UpdateScript.h"

#include <filesystem>

#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "platform/AnsiCodePage.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "update/UpdateNames.h"

namespace zent {

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += '\'';
  return out;
}

TUpdateScriptPlan PlanUpdateScript(const std::string& programPath, const std::string& packagePath,
                                   bool programFolderWritable, bool helperExists) {
  TUpdateScriptPlan plan;
  if (programFolderWritable || !helperExists) {
    plan.scriptPath = programPath.substr(0, programPath.rfind('/') + 1) + kUpdateScriptName;
    plan.installerCommand = ShellQuote(packagePath) + " /SILENT /NOCANCEL";
    return plan;
  }
  plan.packaged = true;
  plan.scriptPath = InstallBaseOf(programPath) + "Temp/" + kUpdateScriptName;
  plan.installerCommand = std::string("sudo -n ") + kApplyUpdateHelper;
  return plan;
}

std::string MakeUpdateScript(const std::string& programPath, const std::string& packagePath,
                             const std::string& scriptPath, const std::string& installerCommand) {
  const std::string program = ShellQuote(programPath);
  const std::string package = ShellQuote(packagePath);
  const std::string script = ShellQuote(scriptPath);
  // The same thirteen steps as the batch script; a wait block looks every second for the
  // path, without case, in the executable of every process we may see.
  auto waitBlock = [](const char* label, const std::string& path) {
    return Format(
        "# %s\n"
        "while sleep 1\n"
        "  for e in /proc/[0-9]*/exe; do readlink \"$e\"; done 2>/dev/null | grep -i -F -q -e %s\n"
        "do :; done\n",
        label, path.c_str());
  };
  std::string s =
      "#!/bin/sh\n"
      "# Installs an update once the program has ended, then starts it again.\n"
      "exec </dev/null >/dev/null 2>&1\n";
  s += waitBlock("WaitApp", program);
  s += (installerCommand.empty() ? package + " /SILENT /NOCANCEL" : installerCommand) + "\n";
  s += "if [ $? -eq 2 ]; then rm -f -- " + script + "; exit 0; fi\n";  // cancelled: Eof
  s += waitBlock("WaitSetup", package);
  s += "setsid " + program + " &\n";
  s += "# Eof\n";
  s += "rm -f -- " + script + "\n";
  return s;
}

void AddWaitLoop(std::vector<std::string>& lines, const std::string& label, const std::string& path) {
  lines.push_back(":" + label);
  lines.push_back("timeout /t 1 /nobreak >nul");
  lines.push_back(
      "(wmic process where creationclassname=\"win32_process\" get executablepath) | (find /i \"" +
      path + "\")");
  lines.push_back("if %errorlevel% equ 0 (goto " + label + ")");
}

std::string MakeUpdateCmdBat(const std::string& programPath, const std::string& packagePath,
                             const std::string& scriptPath) {
  std::vector<std::string> lines;
  AddWaitLoop(lines, "WaitApp", programPath);
  lines.push_back("start \"\" /WAIT \"" + packagePath + "\"  /SILENT /NOCANCEL");
  lines.push_back("if %errorlevel% equ 2 (goto Eof)");
  AddWaitLoop(lines, "WaitSetup", packagePath);
  lines.push_back("start \"\" \"" + programPath + "\"");
  lines.push_back(":Eof");
  lines.push_back("del /f/q \"" + scriptPath + "\"");
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return platform::Utf8ToAnsi(text);
}

bool ExecUpdateFor(const std::string& programPath, const std::string& packagePath) {
  AppLog().Log(0, "ExecUpdate-Begin");
  bool result = false;
  try {
    // A newline would end the quoted word inside the search pattern; no real path has one.
    if (programPath.find('\n') != std::string::npos || packagePath.find('\n') != std::string::npos)
      throw Exception("路径含有换行符");
    const std::string folder = programPath.substr(0, programPath.rfind('/') + 1);
    std::error_code ec;
    const TUpdateScriptPlan plan = PlanUpdateScript(programPath, packagePath, platform::IsWritableFolder(folder),
                                                    std::filesystem::is_regular_file(kApplyUpdateHelper, ec));
    const std::string& scriptPath = plan.scriptPath;
    if (auto writeEc = platform::ReplaceFile(
            scriptPath, MakeUpdateScript(programPath, packagePath, scriptPath, plan.installerCommand), 0755))
      throw Exception(Format("%s: %s", scriptPath.c_str(), writeEc.message().c_str()));
    if (!std::filesystem::exists(scriptPath, ec))
      throw Exception(Format("%s文件不存在，无法执行升级", scriptPath.c_str()));
    if (!plan.packaged) {
      // The downloaded package has no execute permission yet.
      std::filesystem::permissions(packagePath,
                                   std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec,
                                   std::filesystem::perm_options::add, ec);
      if (ec) throw Exception(Format("%s: %s", packagePath.c_str(), ec.message().c_str()));
    }
    uint32_t pid = 0;
    // Its own session: the script outlives us and must not share our terminal's signals.
    platform::SpawnOptions options;
    options.newSession = true;
    if (auto spawnEc = platform::SpawnProcess("/bin/sh", {scriptPath}, options, pid))
      throw Exception(Format("/bin/sh %s: %s", scriptPath.c_str(), spawnEc.message().c_str()));
    result = true;
  } catch (const std::exception& e) {
    AppLog().Log(2, std::string("ExecUpdate异常:") + e.what());
  }
  AppLog().Log(0, "ExecUpdate-End");
  return result;
}

bool ExecUpdate(const std::string& packagePath) { return ExecUpdateFor(GetAppFileName(), packagePath); }

}  // namespace zent
