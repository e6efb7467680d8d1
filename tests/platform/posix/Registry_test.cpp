#include "platform/Registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "../TestSupport.h"

namespace zent::platform {
namespace {

using testing::Child;
using testing::ScopedEnv;
using testing::TempDir;

const auto kMissing = std::make_error_code(std::errc::no_such_file_or_directory);
const auto kDenied = std::make_error_code(std::errc::permission_denied);
const auto kWrongType = std::make_error_code(std::errc::invalid_argument);

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Each test has its own configuration folders.
class RegistryTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", (dir_ / "config").c_str()};
  ScopedEnv dirs_{"XDG_CONFIG_DIRS", (dir_ / "system" + ":" + dir_ / "other").c_str()};
  ScopedEnv home_{"HOME", (dir_ / "home").c_str()};

  std::string UserHive() const { return dir_ / "config/zent/registry/user.reg"; }
};

TEST_F(RegistryTest, HivesFollowTheConfigurationFolders) {
  EXPECT_EQ(RegistryKey::HivePath(RegRoot::CurrentUser), UserHive());
  EXPECT_EQ(RegistryKey::HivePath(RegRoot::LocalMachine), dir_ / "system/zent/registry/system.reg");
  {
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    ScopedEnv noDirs("XDG_CONFIG_DIRS", nullptr);
    EXPECT_EQ(RegistryKey::HivePath(RegRoot::CurrentUser), dir_ / "home/.config/zent/registry/user.reg");
    EXPECT_EQ(RegistryKey::HivePath(RegRoot::LocalMachine), "/etc/xdg/zent/registry/system.reg");
  }
  ScopedEnv relative("XDG_CONFIG_HOME", "relative/folder");
  EXPECT_EQ(RegistryKey::HivePath(RegRoot::CurrentUser), dir_ / "home/.config/zent/registry/user.reg");
}

TEST_F(RegistryTest, DeviceIdentifierLifecycle) {
  RegistryKey key;
  EXPECT_EQ(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", false, key), kMissing);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(UserHive()));  // opening creates nothing

  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT", key));
  std::string guid;
  EXPECT_EQ(key.ReadString("MachineGuid", guid), kMissing);
  ASSERT_FALSE(key.WriteString("MachineGuid", "{0A1B2C3D-0000-1111-2222-333344445555}"));
  ASSERT_FALSE(key.WriteDword("Runs", 10));

  RegistryKey again;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "software\\zent", false, again));
  ASSERT_FALSE(again.ReadString("MACHINEGUID", guid));
  EXPECT_EQ(guid, "{0A1B2C3D-0000-1111-2222-333344445555}");
  uint32_t runs = 0;
  ASSERT_FALSE(again.ReadDword("runs", runs));
  EXPECT_EQ(runs, 10u);

  EXPECT_EQ(ReadAll(UserHive()),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n"
            "\"MachineGuid\"=\"{0A1B2C3D-0000-1111-2222-333344445555}\"\n"
            "\"Runs\"=dword:0000000a\n"
            "\n");
  // Nothing else is left in the folder: no temporary file survives a write.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_ / "config/zent/registry")) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

TEST_F(RegistryTest, MisuseAndTypeMismatchAreErrors) {
  RegistryKey closed;
  std::string s;
  uint32_t n = 0;
  EXPECT_EQ(closed.ReadString("A", s), std::errc::bad_file_descriptor);
  EXPECT_EQ(closed.WriteDword("A", 1), std::errc::bad_file_descriptor);

  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT", key));
  ASSERT_FALSE(key.WriteString("Text", "x"));
  ASSERT_FALSE(key.WriteDword("Number", 1));
  EXPECT_EQ(key.ReadDword("Text", n), kWrongType);
  EXPECT_EQ(key.ReadString("Number", s), kWrongType);
  EXPECT_EQ(key.WriteString("bad\nname", "x"), kWrongType);
  EXPECT_EQ(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\a\nb", key), kWrongType);

  RegistryKey readOnly;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", false, readOnly));
  EXPECT_EQ(readOnly.WriteString("Text", "y"), kDenied);
  ASSERT_FALSE(readOnly.ReadString("Text", s));
  EXPECT_EQ(s, "x");
}

TEST_F(RegistryTest, HandWrittenUtf16HiveIsReadAndRewrittenAsUtf8) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\r\n"
      u"\"MachineGuid\"=\"{11111111-2222-3333-4444-555555555555}\"\r\n"
      u"\"Name\"=\"\u5E7F\u64AD\u6D4B\u8BD5\"\r\n"
      u"\"Blob\"=hex:de,ad,\\\r\n  be,ef\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  WriteFile(UserHive(), bytes);

  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", true, key));
  std::string value;
  ASSERT_FALSE(key.ReadString("Name", value));
  EXPECT_EQ(value, "\xE5\xB9\xBF\xE6\x92\xAD\xE6\xB5\x8B\xE8\xAF\x95");
  EXPECT_EQ(ReadAll(UserHive()), bytes);  // reading never changes the file

  ASSERT_FALSE(key.WriteDword("Added", 1));
  EXPECT_EQ(ReadAll(UserHive()),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\r\n"
            "\"MachineGuid\"=\"{11111111-2222-3333-4444-555555555555}\"\r\n"
            "\"Name\"=\"\xE5\xB9\xBF\xE6\x92\xAD\xE6\xB5\x8B\xE8\xAF\x95\"\r\n"
            "\"Blob\"=hex:de,ad,\\\r\n  be,ef\r\n"
            "\"Added\"=dword:00000001\r\n");
}

TEST_F(RegistryTest, EveryCallReadsTheHiveAnew) {
  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT", key));
  ASSERT_FALSE(key.WriteString("A", "1"));
  WriteFile(UserHive(), "[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n\"A\"=\"changed outside\"\n");
  std::string value;
  ASSERT_FALSE(key.ReadString("A", value));
  EXPECT_EQ(value, "changed outside");
  std::filesystem::remove(UserHive());
  EXPECT_EQ(key.ReadString("A", value), kMissing);
}

TEST_F(RegistryTest, DamagedHivesReadAsFarAsTheyParse) {
  std::mt19937 rng(11);
  std::string noise(20000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  const std::string hive = noise + "\n[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n\"A\"=\"1\"\n\"B\"=\"open\n" +
                           std::string(1 << 20, 'y') + "\n[HKEY_CURRENT_USER\\SOFTWARE\\ZENT]\n\"C\"=dword:2\n";
  WriteFile(UserHive(), hive);
  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", false, key));
  std::string s;
  uint32_t n = 0;
  EXPECT_FALSE(key.ReadString("A", s));
  EXPECT_EQ(key.ReadString("B", s), kMissing);
  EXPECT_FALSE(key.ReadDword("C", n));
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(ReadAll(UserHive()), hive);

  // A write keeps every byte it does not understand.
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", true, key));
  ASSERT_FALSE(key.WriteString("A", "2"));
  const std::string after = ReadAll(UserHive());
  EXPECT_NE(after.find(noise.substr(0, 100)), std::string::npos);
  EXPECT_NE(after.find(std::string(1 << 20, 'y')), std::string::npos);
  ASSERT_FALSE(key.ReadString("A", s));
  EXPECT_EQ(s, "2");
}

TEST_F(RegistryTest, SomethingOtherThanAFileInTheHivesPlaceIsAnError) {
  std::filesystem::create_directories(std::filesystem::path(UserHive()).parent_path());
  ASSERT_EQ(::mkfifo(UserHive().c_str(), 0600), 0);  // would block a plain open for ever
  RegistryKey key;
  EXPECT_EQ(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT", false, key), kWrongType);
  EXPECT_EQ(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT", key), kWrongType);
}

TEST_F(RegistryTest, ConcurrentWritersKeepEveryValue) {
  constexpr int kEach = 40;
  Child a("regwrite", {"procA", std::to_string(kEach)});
  Child b("regwrite", {"procB", std::to_string(kEach)});
  auto writer = [](const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      RegistryKey key;
      ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, "SOFTWARE\\ZENT\\Concurrent", key));
      ASSERT_FALSE(key.WriteDword(prefix + std::to_string(i), static_cast<uint32_t>(i)));
    }
  };
  {
    std::jthread t1(writer, "thread1"), t2(writer, "thread2");
  }
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_EQ(b.Wait(), 0);

  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "SOFTWARE\\ZENT\\Concurrent", false, key));
  for (const char* prefix : {"procA", "procB", "thread1", "thread2"}) {
    for (int i = 0; i < kEach; ++i) {
      uint32_t v = 0;
      EXPECT_FALSE(key.ReadDword(prefix + std::to_string(i), v)) << prefix << i;
      EXPECT_EQ(v, static_cast<uint32_t>(i));
    }
  }
}

TEST_F(RegistryTest, NoWriteAccessIsAccessDenied) {
  // The machine hive lives in a folder only its owner may write, with one value in it.
  char base[] = "/tmp/zent-regtest-XXXXXX";
  ASSERT_NE(::mkdtemp(base), nullptr);
  const std::string system = std::string(base) + "/system";
  WriteFile(system + "/zent/registry/system.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZENT]\n\"A\"=\"1\"\n");
  ScopedEnv dirs("XDG_CONFIG_DIRS", system.c_str());
  for (const std::string& p : {std::string(base), system, system + "/zent", system + "/zent/registry"}) {
    ::chmod(p.c_str(), 0755);
  }
  ::chmod((system + "/zent/registry/system.reg").c_str(), 0644);

  if (::geteuid() == 0) {
    // Root may write anywhere, so an unprivileged child does the writing.
    Child child("regdenied", {});
    const auto code = child.Wait();
    std::filesystem::remove_all(base);
    if (code == 50) GTEST_SKIP() << "this root may not change to an unprivileged user";
    EXPECT_EQ(code, 0) << "failed check number";
  } else {
    ::chmod((system + "/zent/registry").c_str(), 0555);
    EXPECT_EQ(testing::CheckWriteDenied(), 0) << "failed check number";
    ::chmod((system + "/zent/registry").c_str(), 0755);
    std::filesystem::remove_all(base);
  }
}

}  // namespace
}  // namespace zent::platform
