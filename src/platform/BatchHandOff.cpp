// The Windows hand-off script's text: pure text, built everywhere so its bytes are tested
// on every system.
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

}  // namespace zent::platform
