// The Windows hand-off script's text byte for byte, on every system (the /bin/sh script's
// quoting is in posix/; its run is tested with the update module, which writes and starts it).
#include "platform/HandOffScript.h"

#include <gtest/gtest.h>

namespace zent::platform {
namespace {

TEST(UpdateCmdBat, MatchesTheWindowsScriptByteForByte) {
  const std::string expected =
      ":WaitApp\r\n"
      "timeout /t 1 /nobreak >nul\r\n"
      "(wmic process where creationclassname=\"win32_process\" get executablepath) | (find /i \"C:\\P\\app.exe\")\r\n"
      "if %errorlevel% equ 0 (goto WaitApp)\r\n"
      "start \"\" /WAIT \"C:\\T\\DO2_U_x.exe\"  /SILENT /NOCANCEL\r\n"
      "if %errorlevel% equ 2 (goto Eof)\r\n"
      ":WaitSetup\r\n"
      "timeout /t 1 /nobreak >nul\r\n"
      "(wmic process where creationclassname=\"win32_process\" get executablepath) | (find /i \"C:\\T\\DO2_U_x.exe\")\r\n"
      "if %errorlevel% equ 0 (goto WaitSetup)\r\n"
      "start \"\" \"C:\\P\\app.exe\"\r\n"
      ":Eof\r\n"
      "del /f/q \"C:\\P\\UpdateCmd.bat\"\r\n";
  EXPECT_EQ(MakeUpdateCmdBat("C:\\P\\app.exe", "C:\\T\\DO2_U_x.exe", "C:\\P\\UpdateCmd.bat"), expected);
  // The ANSI code page: GBK bytes for Chinese folder names.
  EXPECT_NE(MakeUpdateCmdBat("C:\\程序\\app.exe", "p", "s").find("C:\\\xB3\xCC\xD0\xF2\\app.exe"),
            std::string::npos);
}

}  // namespace
}  // namespace zent::platform
