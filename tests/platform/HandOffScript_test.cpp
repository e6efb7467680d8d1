// The hand-off script's text: the Windows script byte for byte, and the /bin/sh script's
// quoting (its run is tested with the update module, which writes and starts it).
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

TEST(HandOffScript, ShellQuoteLeavesNothingForTheShellToExpand) {
  EXPECT_EQ(ShellQuote("/a b/c"), "'/a b/c'");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellQuote("$(touch x)`y`;z"), "'$(touch x)`y`;z'");
}

// Only the installer step differs for an installed system; the waits, the skipped restart
// and the self-delete stay.
TEST(HandOffScript, AnElevatedInstallerChangesOnlyTheInstallerStep) {
  HandOff handOff{"/opt/lumo7browser/bin/Lumo7Browser", "/opt/lumo7browser/Temp/ExeBuf/DO2_U_a.exe",
                  "/opt/lumo7browser/Temp/UpdateCmd.sh", {}};
  const std::string direct = HandOffScriptText(handOff);
  handOff.installerCommand = ElevatedCommand("/usr/libexec/lumo7browser/lumo7-apply-update");
  const std::string elevated = HandOffScriptText(handOff);
  const std::string run = "'/opt/lumo7browser/Temp/ExeBuf/DO2_U_a.exe' /SILENT /NOCANCEL\n";
  const std::string helper = "'sudo' '-n' '/usr/libexec/lumo7browser/lumo7-apply-update'\n";
  ASSERT_NE(direct.find("\n" + run + "if [ $? -eq 2 ]"), std::string::npos) << direct;
  std::string expected = direct;
  expected.replace(expected.find(run), run.size(), helper);
  EXPECT_EQ(elevated, expected);
}

}  // namespace
}  // namespace zent::platform
