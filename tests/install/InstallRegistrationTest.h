// The fixture of the install registration tests: a folder and a registry of the case's own,
// and the uninstall entry's values as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "install/InstallRegistration.h"
#include "platform/Registry.h"
#include "support/ScopedEnvironment.h"

namespace zent {

// Every test gets its own registry.
class InstallRegistrationTest : public ::testing::Test {
 protected:
  InstallRegistrationTest() : dir_(CaseFolder()), registry_(dir_) {}

  static std::filesystem::path CaseFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::path(ZENT_TEST_TMP_DIR) / "install" / info->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
  }

  std::string Folder(const std::string& name) {
    std::filesystem::create_directories(dir_ / name);
    return (dir_ / name).string() + "/";
  }

  static std::string Value(const char* name) {
    platform::RegistryKey key;
    if (platform::RegistryKey::Open(platform::RegRoot::LocalMachine, kUninstallKey, false, key)) return "<no key>";
    std::string value;
    return key.ReadString(name, value) ? "<none>" : value;
  }
  static uint32_t Dword(const char* name) {
    platform::RegistryKey key;
    uint32_t value = 0xDEAD;
    if (!platform::RegistryKey::Open(platform::RegRoot::LocalMachine, kUninstallKey, false, key)) key.ReadDword(name, value);
    return value;
  }

  std::filesystem::path dir_;
  testing::ScopedRegistryRoot registry_;
};

}  // namespace zent
