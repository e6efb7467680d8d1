// Configuration cases that only POSIX can set up: no roaming folder at all (Windows always
// has its known folder), and a user hive that cannot exist because a file takes its folder's
// place (the real registry cannot be blocked that way).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "../ConfigTest.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "config/Config.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using ScopedEnv = testing::ScopedEnvironmentValue;

TEST_F(ConfigTest, NoAppDataFolderIsAnErrorForTheSwitchesOnly) {
  ScopedEnv noXdg("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv noHome("HOME", std::nullopt);
  try {
    GetAppDataFolder();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_TRUE(IsPlainBaseError(e));
    EXPECT_STREQ(e.what(), "未能找到当前用户的AppData文件夹");
  }
  EXPECT_THROW(ReadSingleInst(), Exception);
  EXPECT_THROW(WriteSingleInst(true), Exception);
  EXPECT_THROW(ReadDebugModel(CommandLine({"x"})), Exception);
  EXPECT_THROW(WriteDebugModel(true), Exception);
  // The window's accessors swallow it and give their defaults.
  const ServerConfig server = ReadServerConfig();
  EXPECT_EQ(server.host, "");
  EXPECT_EQ(server.port, 0);
  EXPECT_EQ(server.url, "/lumo7/");
  EXPECT_TRUE(ReadFixHost(true));
  EXPECT_EQ(ReadLastPath(), "");
  EXPECT_NO_THROW(SaveServerConfig("h", 1, "/u"));
  EXPECT_NO_THROW(SaveFixHost(true));
  EXPECT_NO_THROW(SaveLastPath("/tmp"));
}

TEST_F(ConfigTest, UnobtainableDeviceIdIsEmptyAndLogged) {
  const std::string logs = (root_ / "logs").string();
  InitFileLog(logs);
  // A file where the configuration folder should be: no registry hive can exist.
  std::ofstream((root_ / "blocked").string()) << "x";
  ScopedEnv xdg("XDG_CONFIG_HOME", (root_ / "blocked").string());

  EXPECT_EQ(ObtainDeviceId(), "");
  AppLog().Flush();
  std::string all;
  for (const auto& e : fs::recursive_directory_iterator(logs))
    if (e.is_regular_file()) all += Get(e.path().string());
  EXPECT_NE(all.find("获取设备唯一标识失败"), std::string::npos) << all;
}

}  // namespace
}  // namespace zent
