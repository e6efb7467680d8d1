// A private registry and a private copy of the stand-in device manager per test; every
// stand-in a test started is ended in TearDown.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/Registry.h"
#include "support/ScopedEnvironment.h"

namespace zent {

class DeviceMgrFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes "InstallLocation" of the device manager's uninstall key in one hive.
  void Register(platform::RegRoot root, const std::string& folder);
  // A copy of the stand-in in tmp/<name>/, with "Plugin/dmReport.dll" when `plugin`.
  std::filesystem::path InstallStandin(const std::string& name, bool plugin);
  // How many stand-ins have started since SetUp.
  int Starts() const;
  // Ends every stand-in running from this test's folder.
  void KillStandins();
  // Whether a program file lies below this test's folder (either separator).
  bool IsOurs(const std::string& exePath) const;

  static bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

  std::filesystem::path tmp_;
  std::filesystem::path record_;

 private:
  std::optional<testing::ScopedRegistryRoot> registry_;
  std::optional<testing::ScopedEnvironmentValue> record_value_;
};

}  // namespace zent
