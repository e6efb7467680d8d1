// Shared pieces of the setup tests: a fresh folder per test, files written with a mode, and
// a program folder packed behind a stub (the Installer fixture).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "setup/SetupArchive.h"
#include "setup/SetupInstall.h"

namespace zent::setup {

namespace fs = std::filesystem;

inline std::string Fresh(const std::string& name) {
  const fs::path p = fs::path(ZENT_TEST_TMP_DIR) / "setup" / (name + "." + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string() + "/";
}

inline void Write(const fs::path& p, const std::string& bytes, fs::perms mode = fs::perms(0644)) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
  fs::permissions(p, mode);
}

inline std::string Read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A program folder with a sub-folder, an executable and the files that never ship.
class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = Fresh(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Write(root_ + "stub", "#!/bin/sh\nexit 0\n", fs::perms(0755));
    Write(root_ + "prog/Lumo7Browser", "new program", fs::perms(0700));
    Write(root_ + "prog/Lang/zh.lang", "new language");
    Write(root_ + "prog/Logs/2026-12-10/x.log", "log");
    Write(root_ + "prog/Lumo7Browser.cnfg", "[Cnfg]");
    Write(root_ + "prog/UpdateCmd.sh", "script");
    setup_ = root_ + "setup.exe";
    WriteInstaller(root_ + "stub", root_ + "prog", "Lumo7Browser", setup_);
  }

  std::string root_, setup_;
};

}  // namespace zent::setup
