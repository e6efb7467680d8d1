// The configuration store: per-user file, server address limits, run options and the device
// identifier. Every test gets its own empty configuration folder.
#include "config/Config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>

#include "common/Errors.h"
#include "common/FileLog.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "ConfigTest.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

TEST_F(ConfigTest, FileNameIsInTheRoamingFolder) {
  // With the system's own separator at the end.
  EXPECT_EQ(fs::path(GetAppDataFolder()).lexically_normal(), (root_ / "xdg" / "").lexically_normal());
  EXPECT_EQ(fs::path(GetConfigFileName()).lexically_normal(), fs::path(ConfigFile()).lexically_normal());
  EXPECT_TRUE(fs::is_directory(fs::path(ConfigFile()).parent_path()));
}

TEST_F(ConfigTest, SingleInstDefaultsToTrueAndReadingCreatesNoFile) {
  EXPECT_TRUE(ReadSingleInst());
  EXPECT_FALSE(fs::exists(ConfigFile()));
  PutConfig("[Other]\r\nDebugModel=1\r\n");
  EXPECT_TRUE(ReadSingleInst());
  WriteSingleInst(false);
  EXPECT_FALSE(ReadSingleInst());
  EXPECT_EQ(Get(ConfigFile()), "[Other]\r\nDebugModel=1\r\nSingleInst=0\r\n");
}

TEST_F(ConfigTest, WritersCreateTheWholeFolderPath) {
  const std::string deep = (root_ / "not" / "yet" / "there").string();
  testing::ScopedEnvironmentValue appData(testing::ScopedAppDataFolder::VariableName(), deep);
  WriteDebugModel(true);
  EXPECT_EQ(Get(deep + "/ZentLumo7/Lumo7BrowserCfg.ini"), "[Other]\r\nDebugModel=1\r\n");
}

TEST_F(ConfigTest, DebugModelFromCommandLineOrFile) {
  const CommandLine plain({"/opt/Lumo7Browser"});
  EXPECT_FALSE(ReadDebugModel(plain));
  EXPECT_TRUE(ReadDebugModel(CommandLine({"/opt/Lumo7Browser", "-FORDEBUG"})));
  PutConfig("[Other]\nDebugModel=0x1\n");
  EXPECT_TRUE(ReadDebugModel(plain));
  WriteDebugModel(false);
  EXPECT_FALSE(ReadDebugModel(plain));
  EXPECT_TRUE(ReadDebugModel(CommandLine({"/opt/Lumo7Browser", "-fordebug"})));
}

TEST(CutToAnsiBytes, CountsGbkBytesAndNeverSplitsACharacter) {
  const struct {
    const char* text;
    size_t limit;
    const char* expected;
  } cases[] = {
      {"192.168.100.200.1", 15, "192.168.100.200"},
      {"10.0.0.5", 15, "10.0.0.5"},
      {"", 15, ""},
      {"收银台收银台收银台", 15, "收银台收银台收"},   // 7 characters are 14 bytes
      {"a收银台收银台收银台", 15, "a收银台收银台收"},  // exactly 15 bytes
      {"ab收银台收银台收银台", 15, "ab收银台收银台"},  // the 8th would be cut in half
      {"收", 1, ""},
      {"€€", 15, "€€"},  // one byte each in this code page
      {"😀x", 15, "?x"},  // the code page has no such character
  };
  for (const auto& c : cases) EXPECT_EQ(CutToAnsiBytes(c.text, c.limit), c.expected) << c.text;
}

TEST_F(ConfigTest, ServerConfigLimitsAndDefaults) {
  const std::string longUrl(150, 'u');
  const struct {
    std::string file;
    std::string host;
    uint16_t port;
    std::string url;
  } cases[] = {
      {"", "", 0, "/lumo7/"},
      {"[LumoServer]\nHost=10.0.0.5\nPort=8080\nUrl=lumo7/\n", "10.0.0.5", 8080, "lumo7/"},
      {"[LumoServer]\nHost=192.168.100.200.99\n", "192.168.100.200", 0, "/lumo7/"},
      {"[LumoServer]\nHost=服务器服务器服务器\nUrl=\n", "服务器服务器服", 0, "/lumo7/"},
      {"[LumoServer]\nPort=0x1F90\n", "", 8080, "/lumo7/"},
      {"[LumoServer]\nPort=65616\n", "", 80, "/lumo7/"},
      {"[LumoServer]\nPort=-1\n", "", 65535, "/lumo7/"},
      {"[LumoServer]\nPort=80a\n", "", 0, "/lumo7/"},
      {"[LumoServer]\nUrl=" + longUrl + "\n", "", 0, longUrl.substr(0, 100)},
      {"[lumoserver]\nURL=\"/shop/\"\n", "", 0, "/shop/"},
  };
  for (const auto& c : cases) {
    PutConfig(c.file);
    const ServerConfig s = ReadServerConfig();
    EXPECT_EQ(s.host, c.host) << c.file;
    EXPECT_EQ(s.port, c.port) << c.file;
    EXPECT_EQ(s.url, c.url) << c.file;
  }
}

TEST_F(ConfigTest, SavingDropsOneLeadingSlashAndKeepsOtherKeys) {
  PutConfig("[Other]\r\nSingleInst=0\r\n\r\n[LumoServer]\r\nFix=1\r\n");
  SaveServerConfig("10.0.0.7", 7006, "/lumo7/");
  EXPECT_EQ(Get(ConfigFile()),
            "[Other]\r\nSingleInst=0\r\n\r\n[LumoServer]\r\nFix=1\r\nHost=10.0.0.7\r\nPort=7006\r\n"
            "Url=lumo7/\r\n");
  const ServerConfig s = ReadServerConfig();
  EXPECT_EQ(s.host, "10.0.0.7");
  EXPECT_EQ(s.port, 7006);
  EXPECT_EQ(s.url, "lumo7/");

  SaveServerConfig("h", 1, "//double");
  EXPECT_EQ(ReadServerConfig().url, "/double");
  SaveServerConfig("h", 1, "");
  EXPECT_EQ(ReadServerConfig().url, "/lumo7/");
}

TEST_F(ConfigTest, FixHostAndLastPath) {
  EXPECT_TRUE(ReadFixHost(true));
  EXPECT_FALSE(ReadFixHost(false));
  SaveFixHost(true);
  EXPECT_TRUE(ReadFixHost(false));
  SaveFixHost(false);
  EXPECT_FALSE(ReadFixHost(true));
  EXPECT_NE(Get(ConfigFile()).find("Fix=0"), std::string::npos);

  EXPECT_EQ(ReadLastPath(), "");
  SaveLastPath("/home/收银/下载");
  EXPECT_EQ(ReadLastPath(), "/home/收银/下载");
  // A folder name with a line break must not plant keys; the save is dropped instead.
  SaveLastPath("/tmp/x\n[Other]\nSingleInst=0");
  EXPECT_EQ(ReadLastPath(), "/home/收银/下载");
  EXPECT_TRUE(ReadSingleInst());
}

TEST_F(ConfigTest, DamagedConfigurationReadsAsDefaultsAndStaysUntouched) {
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string hugeLine = "[LumoServer]\nHost=" + std::string(10 << 20, 'h');
  for (const std::string* bytes : std::initializer_list<const std::string*>{&noise, &hugeLine}) {
    PutConfig(*bytes);
    EXPECT_TRUE(ReadSingleInst());
    EXPECT_FALSE(ReadDebugModel(CommandLine({"x"})));
    EXPECT_FALSE(ReadFixHost(false));
    const ServerConfig s = ReadServerConfig();
    EXPECT_EQ(s.port, 0);
    EXPECT_EQ(s.url, "/lumo7/");
    EXPECT_LE(s.host.size(), 15u);
    EXPECT_EQ(Get(ConfigFile()), *bytes);
  }
}

TEST(RunOptions, FileNameBesideTheExecutable) {
  const struct {
    const char* exe;
    const char* options;
  } cases[] = {
      {"C:\\Lumo7\\Lumo7Browser.exe", "C:\\Lumo7\\Lumo7Browser.cnfg"},
      {"/opt/lumo7/Lumo7Browser.EXE", "/opt/lumo7/Lumo7Browser.cnfg"},
      {"/opt/lumo7/Lumo7Browser", "/opt/lumo7/Lumo7Browser.cnfg"},
      {"/opt/a.exe/b.Exe", "/opt/a.cnfg/b.cnfg"},  // every occurrence
      {"/opt/app.exex", "/opt/app.cnfgx"},
      {"/opt/app.ex", "/opt/app.ex.cnfg"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunOptionsFileName(c.exe), c.options) << c.exe;
}

// The options are read once per process: a change after the first read is not seen.
TEST(RunOptions, ReadOncePerProcess) {
  const std::string file = RunOptionsFileName(platform::ExecutablePath());
  ASSERT_FALSE(fs::exists(file)) << file;
  struct Cleanup {
    std::string path;
    ~Cleanup() { fs::remove(path); }
  } cleanup{file};
  std::ofstream(file, std::ios::binary) << "[Cnfg]\r\nFullScreenOnRun=1\r\n";
  EXPECT_TRUE(ReadRunOptionsFile(file));
  EXPECT_TRUE(ReadRunOptions());
  std::ofstream(file, std::ios::binary) << "[Cnfg]\r\nFullScreenOnRun=0\r\n";
  EXPECT_FALSE(ReadRunOptionsFile(file));
  EXPECT_TRUE(ReadRunOptions());
}

TEST(DeviceId, NewGuidsAreRandomVersion4InRegistryForm) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  const std::string a = NewGuidText();
  const std::string b = NewGuidText();
  EXPECT_TRUE(std::regex_match(a, form)) << a;
  EXPECT_TRUE(std::regex_match(b, form)) << b;
  EXPECT_NE(a, b);
}

TEST_F(ConfigTest, DeviceIdIsCreatedOnceAndKept) {
  const std::string first = ObtainDeviceId();
  EXPECT_EQ(first.size(), 38u) << first;
  EXPECT_EQ(ObtainDeviceId(), first);

  platform::RegistryKey key;
  ASSERT_FALSE(platform::RegistryKey::Open(platform::RegRoot::CurrentUser, "SOFTWARE\\ZENT", false, key));
  std::string stored;
  ASSERT_FALSE(key.ReadString("MachineGuid", stored));
  EXPECT_EQ(stored, first);
}

TEST_F(ConfigTest, StoredDeviceIdIsUsedAsItIs) {
  platform::RegistryKey key;
  ASSERT_FALSE(platform::RegistryKey::Create(platform::RegRoot::CurrentUser, "Software\\Zent", key));
  ASSERT_FALSE(key.WriteString("MachineGuid", "{00000000-1111-2222-3333-444444444444}"));
  EXPECT_EQ(ObtainDeviceId(), "{00000000-1111-2222-3333-444444444444}");
}

}  // namespace
}  // namespace zent
