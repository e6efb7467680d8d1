// The installed program's mode bits: what the payload records and what lands on disk. POSIX
// modes only (the Windows file system keeps no execute or group bits).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "setup/SetupTestSupport.h"

namespace zent::setup {
namespace {

TEST_F(Installer, CarriesTheProgramFolderAfterTheStub) {
  EXPECT_EQ(Read(setup_).rfind("#!/bin/sh\nexit 0\n", 0), 0u);
  std::ifstream f(setup_, std::ios::binary);
  Trailer t;
  ASSERT_TRUE(ReadTrailer(f, fs::file_size(setup_), t));
  ASSERT_TRUE(VerifyPayload(f, t));
  std::vector<std::string> names;
  ReadPayload(
      f, t, [&](const PayloadEntry& e) { names.push_back(e.name + "/"); },
      [&](const PayloadEntry& e, const FileReader&) { names.push_back(e.name + ":" + std::to_string(e.mode)); });
  // Logs, run options and scripts stay behind; the program comes last.
  EXPECT_EQ(names, (std::vector<std::string>{"Lang/", "Lang/zh.lang:420", "Lumo7Browser:493"}));
}

TEST_F(Installer, ReplacesTheProgramAndKeepsEverythingElse) {
  const std::string target = root_ + "installed/bin/";
  Write(target + "Lumo7Browser", "old program", fs::perms(0755));
  Write(target + "Lumo7Browser.cnfg", "[Cnfg]\nFullScreenOnRun=1");
  Write(target + ".Lumo7Setup.999/half", "left by an interrupted run");
  std::string error;
  ASSERT_EQ(InstallPayload(setup_, target, error), kSetupOk) << error;
  EXPECT_EQ(Read(target + "Lumo7Browser"), "new program");
  EXPECT_EQ(fs::status(target + "Lumo7Browser").permissions() & fs::perms(0777), fs::perms(0755));
  EXPECT_EQ(Read(target + "Lang/zh.lang"), "new language");
  EXPECT_EQ(Read(target + "Lumo7Browser.cnfg"), "[Cnfg]\nFullScreenOnRun=1");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(target)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Lang", "Lumo7Browser", "Lumo7Browser.cnfg"}));
}

TEST_F(Installer, PayloadModesNeverLetGroupOrOthersWrite) {
  // A payload written by another tool may carry any bits; what lands on disk is at most 0755.
  std::string bytes = Read(setup_);
  std::ifstream f(setup_, std::ios::binary);
  Trailer t;
  ASSERT_TRUE(ReadTrailer(f, bytes.size(), t));
  const size_t record = bytes.find("Lang/zh.lang", t.offset) - 7;
  bytes[record + 1] = static_cast<char>(0777 & 0xFF);
  bytes[record + 2] = static_cast<char>(0777 >> 8);
  // The trailer's CRC follows the change.
  const uint32_t crc = static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data() + t.offset), t.size));
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 8 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
  Write(setup_, bytes, fs::perms(0755));
  std::string error;
  const std::string target = root_ + "installed/";
  ASSERT_EQ(InstallPayload(setup_, target, error), kSetupOk) << error;
  EXPECT_EQ(fs::status(target + "Lang/zh.lang").permissions() & fs::perms(0777), fs::perms(0755));
}

}  // namespace
}  // namespace zent::setup
