// The /bin/sh hand-off script: its quoting and its installer step.
#include "platform/HandOffScript.h"

#include <gtest/gtest.h>

namespace zent::platform {
namespace {

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
