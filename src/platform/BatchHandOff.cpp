// The hand-off scripts' texts that are the same on every system: the Windows script (built
// everywhere so its bytes are tested on every system) and the /bin/sh quoting.
#include "platform/AnsiCodePage.h"
#include "platform/HandOffScript.h"

namespace zent::platform {

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
  return Utf8ToAnsi(text);
}

// The same on every system: the text is for /bin/sh, wherever it is made.
std::string ShellQuote(const std::string& text) {
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

}  // namespace zent::platform
