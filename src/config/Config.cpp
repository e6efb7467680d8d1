#include "config/Config.h"

#include <array>
#include <filesystem>
#include <random>

#include "common/Encoding.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/ProfileFile.h"
#include "platform/AnsiCodePage.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace zent {
namespace {

constexpr char kConfigFolder[] = "ZentLumo7/";
constexpr char kConfigFile[] = "Lumo7BrowserCfg.ini";
constexpr char kOther[] = "Other";
constexpr char kServer[] = "LumoServer";

bool FileExists(const std::string& fileName) {
  std::error_code ec;
  return std::filesystem::exists(platform::FsPath(fileName), ec);
}

// The writers create the whole folder path first; a failure shows up as the write's error.
ProfileFile ConfigForWriting() {
  const std::string fileName = GetConfigFileName();
  std::error_code ignored;
  std::filesystem::create_directories(platform::FsPath(fileName).parent_path(), ignored);
  return ProfileFile(fileName);
}

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

}  // namespace

std::string GetAppDataFolder() {
  const auto folder = platform::RoamingAppDataFolder();
  if (!folder || folder->empty()) throw Exception("未能找到当前用户的AppData文件夹");
  return *folder;
}

std::string GetConfigFileName() {
  const std::string folder = GetAppDataFolder() + kConfigFolder;
  // One level only, as the caller expects of this name lookup; when it cannot be created,
  // reads give the defaults and writes report their own failure.
  std::error_code ignored;
  std::filesystem::create_directory(platform::FsPath(folder), ignored);
  return folder + kConfigFile;
}

bool ReadSingleInst() {
  const std::string fileName = GetConfigFileName();
  if (!FileExists(fileName)) return true;
  return ProfileFile(fileName).ReadBool(kOther, "SingleInst", true);
}

void WriteSingleInst(bool value) { ConfigForWriting().WriteBool(kOther, "SingleInst", value); }

bool ReadDebugModel(const CommandLine& commandLine) {
  if (commandLine.ForDebug()) return true;
  const std::string fileName = GetConfigFileName();
  if (!FileExists(fileName)) return false;
  return ProfileFile(fileName).ReadBool(kOther, "DebugModel", false);
}

void WriteDebugModel(bool value) { ConfigForWriting().WriteBool(kOther, "DebugModel", value); }

std::string CutToAnsiBytes(std::string_view utf8, size_t maxBytes) {
  const std::string ansi = platform::Utf8ToAnsi(utf8);
  // Step character by character so that a double-byte character is kept whole or dropped
  // whole: half of one would corrupt the text.
  size_t end = 0;
  while (end < ansi.size()) {
    const size_t len =
        IsGbkLead(static_cast<unsigned char>(ansi[end])) && end + 1 < ansi.size() ? 2 : 1;
    if (end + len > maxBytes) break;
    end += len;
  }
  return platform::AnsiToUtf8(std::string_view(ansi).substr(0, end));
}

ServerConfig ReadServerConfig() {
  ServerConfig config;
  // The window's accessors never fail: a read that fails leaves the defaults.
  try {
    const ProfileFile file(GetConfigFileName());
    config.host = CutToAnsiBytes(file.ReadString(kServer, "Host", ""), kServerHostMaxBytes);
    config.port = static_cast<uint16_t>(file.ReadInteger(kServer, "Port", 0) & 0xFFFF);
    config.url = CutToAnsiBytes(file.ReadString(kServer, "Url", ""), kServerUrlMaxBytes);
  } catch (const std::exception&) {
  }
  if (config.url.empty()) config.url = kDefaultServerUrl;
  return config;
}

void SaveServerConfig(const std::string& host, int32_t port, const std::string& url) {
  // A failed write is lost without a message; the next save tries again.
  try {
    ProfileFile file(GetConfigFileName());
    file.WriteString(kServer, "Host", host);
    file.WriteInteger(kServer, "Port", port);
    file.WriteString(kServer, "Url", url.starts_with('/') ? url.substr(1) : url);
  } catch (const std::exception&) {
  }
}

bool ReadFixHost(bool current) {
  // A failed read keeps the caller's flag.
  try {
    return ProfileFile(GetConfigFileName()).ReadBool(kServer, "Fix", current);
  } catch (const std::exception&) {
    return current;
  }
}

void SaveFixHost(bool value) {
  // A failed write is lost without a message.
  try {
    ProfileFile(GetConfigFileName()).WriteBool(kServer, "Fix", value);
  } catch (const std::exception&) {
  }
}

std::string ReadLastPath() {
  // A failed read gives no initial folder.
  try {
    return ProfileFile(GetConfigFileName()).ReadString(kOther, "LastPath", "");
  } catch (const std::exception&) {
    return {};
  }
}

void SaveLastPath(const std::string& path) {
  // A failed write is lost without a message; the save dialog simply starts elsewhere.
  try {
    ProfileFile(GetConfigFileName()).WriteString(kOther, "LastPath", path);
  } catch (const std::exception&) {
  }
}

std::string RunOptionsFileName(std::string_view exePath) {
  std::string out;
  out.reserve(exePath.size() + 5);
  bool replaced = false;
  size_t i = 0;
  while (i < exePath.size()) {
    if (i + 4 <= exePath.size() && EqualsNoCase(exePath.substr(i, 4), ".exe")) {
      out += ".cnfg";
      replaced = true;
      i += 4;
    } else {
      out += exePath[i++];
    }
  }
  if (!replaced) out += ".cnfg";
  return out;
}

bool ReadRunOptionsFile(const std::string& fileName) {
  return ProfileFile(fileName).ReadBool("Cnfg", "FullScreenOnRun", false);
}

bool ReadRunOptions() {
  // Read once; the first caller's read is what every later caller, on any thread, sees.
  static const bool fullScreenOnRun = [] {
    const std::string exe = platform::ExecutablePath();
    // Without our own path there is no file beside us to read (and no relative name to guess).
    return !exe.empty() && ReadRunOptionsFile(RunOptionsFileName(exe));
  }();
  return fullScreenOnRun;
}

std::string NewGuidText() {
  std::random_device source;
  std::array<uint8_t, 16> b{};
  for (size_t i = 0; i < b.size(); i += 4) {
    const uint32_t r = source();
    for (size_t k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4: random
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return Format("{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
}

std::string ObtainDeviceId() {
  std::string id;
  // Every failure here is swallowed: the program goes on without an identifier, and the
  // empty result is logged below.
  try {
    platform::RegistryKey key;
    if (!platform::RegistryKey::Create(platform::RegRoot::CurrentUser, "SOFTWARE\\ZENT", key)) {
      std::string stored;
      if (!key.ReadString("MachineGuid", stored)) id = stored;
      if (id.empty()) {
        id = NewGuidText();
        // Not stored: this run still has an identifier; the next start tries again.
        [[maybe_unused]] const auto ec = key.WriteString("MachineGuid", id);
      }
    }
  } catch (const std::exception&) {
  }
  if (id.empty()) AppLog().Log(2, "获取设备唯一标识失败");
  return id;
}

}  // namespace zent
