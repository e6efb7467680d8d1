// Test support: a known environment and a private registry for one test case, the same on
// every system. A case changes a variable or the registry roots only through these objects,
// which put back what was there before when they end, so cases never leak into each other.
// Each system's part is in tests/support/posix/ or tests/support/win32/ (ScopedEnvironment.cpp).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zent::testing {

// Removes a variable from our environment (the platform layer only sets them). False on failure.
bool UnsetEnvironmentValue(const std::string& name);

// Sets (or with nullopt removes) one environment variable for the life of the object.
class ScopedEnvironmentValue {
 public:
  ScopedEnvironmentValue(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironmentValue();
  ScopedEnvironmentValue(const ScopedEnvironmentValue&) = delete;
  ScopedEnvironmentValue& operator=(const ScopedEnvironmentValue&) = delete;

  // Changes the value again within the scope; the end still restores the first old value.
  void Set(const std::optional<std::string>& value);

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// The current user's roaming application-data folder is `folder` for the life of the object
// (Linux: XDG_CONFIG_HOME; Windows: APPDATA). The folder is not created.
class ScopedAppDataFolder {
 public:
  explicit ScopedAppDataFolder(const std::filesystem::path& folder);
  // Where the system takes the folder from (for a case that changes it again).
  static const char* VariableName();

 private:
  ScopedEnvironmentValue value_;
};

// Both registry roots (CurrentUser, LocalMachine) start empty for the life of the object and
// what the case wrote is gone after it. Linux: the hives' stand-in files live below `folder`
// (XDG_CONFIG_HOME = folder/home, XDG_CONFIG_DIRS = folder/xdg); Windows: the process's
// predefined keys are redirected (RegOverridePredefKey) to keys of its own under
// HKEY_CURRENT_USER\Software\ZentTests, deleted at the end. One object per process at a time.
class ScopedRegistryRoot {
 public:
  explicit ScopedRegistryRoot(const std::filesystem::path& folder);
  ~ScopedRegistryRoot();
  ScopedRegistryRoot(const ScopedRegistryRoot&) = delete;
  ScopedRegistryRoot& operator=(const ScopedRegistryRoot&) = delete;

  // Whether the hives are files of this process's own making (Linux's stand-in), so a case
  // may look at or damage them; false for the real registry.
  static bool HivesAreFiles();

 private:
  struct State;
  State* state_;
};

}  // namespace zent::testing
