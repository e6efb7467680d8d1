// POSIX: variables through setenv/unsetenv; the registry roots are the hive files that
// XDG_CONFIG_HOME and XDG_CONFIG_DIRS point at.
#include "support/ScopedEnvironment.h"

#include <cstdlib>

namespace zent::testing {

bool UnsetEnvironmentValue(const std::string& name) { return ::unsetenv(name.c_str()) == 0; }

const char* ScopedAppDataFolder::VariableName() { return "XDG_CONFIG_HOME"; }

ScopedAppDataFolder::ScopedAppDataFolder(const std::filesystem::path& folder)
    : value_(VariableName(), folder.string()) {}

struct ScopedRegistryRoot::State {
  ScopedEnvironmentValue home;
  ScopedEnvironmentValue dirs;
};

ScopedRegistryRoot::ScopedRegistryRoot(const std::filesystem::path& folder)
    : state_(new State{{"XDG_CONFIG_HOME", (folder / "home").string()},
                       {"XDG_CONFIG_DIRS", (folder / "xdg").string()}}) {
  std::filesystem::create_directories(folder / "home");
  std::filesystem::create_directories(folder / "xdg");
}

ScopedRegistryRoot::~ScopedRegistryRoot() { delete state_; }

bool ScopedRegistryRoot::HivesAreFiles() { return true; }

}  // namespace zent::testing
