// The kiosk session's word and the hidden pointer's choice: the session's on/off wins, the
// run options decide without it, anything unreadable counts as unsaid, and off is the default.
#include "browser/rules/KioskOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Process.h"

namespace zent {
namespace {

TEST(KioskOptions, SessionValueWinsOverTheRunOptionsWhenItSaysOnOrOff) {
  using Env = std::optional<std::string>;
  const struct {
    Env session;
    Env hide;
    const char* runOption;
    bool kioskSession;
    bool hidePointer;
  } cases[] = {
      {std::nullopt, std::nullopt, "", false, false},     // nothing said: pointer shows
      {std::nullopt, std::nullopt, "1", false, true},     // unpackaged: the run options
      {std::nullopt, std::nullopt, " On ", false, true},
      {std::nullopt, std::nullopt, "2", false, false},    // unreadable: off
      {Env("1"), Env("yes"), "0", true, true},            // the session's yes beats the file
      {Env("1"), Env("NO"), "1", true, false},            // and its no as well
      {Env("1"), Env(""), "1", true, true},               // empty: the file decides
      {Env("1"), Env("maybe"), "0", true, false},
      {Env("yes"), std::nullopt, "", true, false},
      {Env("0"), Env("yes"), "", false, true},
      {Env(""), std::nullopt, "", false, false},
      {Env("kiosk"), std::nullopt, "", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.session.value_or("<unset>")) + " / " + c.hide.value_or("<unset>") + " / " +
                 c.runOption);
    const TKioskOptions options = DecideKioskOptions(c.session, c.hide, c.runOption);
    EXPECT_EQ(options.kioskSession, c.kioskSession);
    EXPECT_EQ(options.hidePointer, c.hidePointer);
  }
}

TEST(KioskOptions, ReadsTheRunOptionsKioskSection) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zent-kiosk-options-" + std::to_string(platform::CurrentProcessId()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "Lumo7Browser.cnfg";
  {
    std::ofstream out(file);
    out << "[Cnfg]\nFullScreenOnRun=1\n[Kiosk]\nHidePointer=1\n";
  }
  // The test's own environment may carry the session's variables; only the file is checked.
  const bool sessionSays = platform::EnvironmentValue(kHidePointerVariable) &&
                           ReadOnOff(*platform::EnvironmentValue(kHidePointerVariable));
  if (!sessionSays) {
    EXPECT_TRUE(ReadKioskOptions(file.string()).hidePointer);
    EXPECT_FALSE(ReadKioskOptions((dir / "missing.cnfg").string()).hidePointer);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zent
