#include "install/InstallRegistration.h"

#include <ctime>
#include <filesystem>

#include "common/Branding.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "platform/FsPath.h"
#include "platform/LocalTime.h"
#include "platform/Registry.h"
#include "platform/ErrorText.h"

namespace zent {

namespace {

using platform::RegistryKey;
using platform::RegRoot;

void Check(const std::error_code& ec, const char* value) {
  if (ec) throw EOSError(Format("%s: %s", value, platform::ErrorText(ec).c_str()));
}

// True for an existing folder; a symbolic link is not followed, even one written with a
// trailing "/".
bool IsExistingFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(std::filesystem::symlink_status(platform::FsPath(path), ec));
}

}  // namespace

TInstallInfo CurrentInstallInfo() {
  TInstallInfo info;
  info.folder = GetAppFolder();
  info.version = GetAppVersion();
  std::tm now{};
  if (platform::ToLocalTime(static_cast<int64_t>(std::time(nullptr)), now)) {
    info.installDate = Format("%04d%02d%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
  }
  return info;
}

std::string GetInstallLocation() {
  std::string folder;
  ReadRegString(RegRoot::LocalMachine, kUninstallKey, "InstallLocation", folder);
  return folder;
}

void WriteInstallRegistration(const TInstallInfo& info) {
  RegistryKey key;
  if (const auto ec = RegistryKey::Create(RegRoot::LocalMachine, kUninstallKey, key)) {
    AppLog().Log(1, Format("Install registration not written [%s]: %s",
                           RegistryKey::HivePath(RegRoot::LocalMachine).c_str(), platform::ErrorText(ec).c_str()));
    return;
  }
  try {
    const std::string displayName = Format("%s 版本 %s", kProductDisplayName, info.version.c_str());
    const std::pair<const char*, std::string> strings[] = {
        {"InstallLocation", info.folder},
        {"DisplayName", displayName},
        {"DisplayVersion", info.version},
        {"HelpLink", kVendorWebAddress},
        {"Publisher", kPublisherName},
        {"URLInfoAbout", kVendorWebAddress},
        {"URLUpdateInfo", kVendorWebAddress},
        {"InstallDate", info.installDate},
    };
    for (const auto& [name, value] : strings) Check(key.WriteString(name, value), name);
    Check(key.WriteDword("NoModify", 1), "NoModify");
    Check(key.WriteDword("NoRepair", 1), "NoRepair");
    Check(key.WriteString("Inno Setup: App Path", info.folder), "Inno Setup: App Path");
    Check(key.WriteString("Inno Setup: Icon Group", kProductDisplayName), "Inno Setup: Icon Group");
    Check(key.WriteString("Inno Setup: Language", "chinesesimp"), "Inno Setup: Language");
    AppLog().Log(1, "Install registration: " + info.folder);
  } catch (const std::exception& e) {
    AppLog().Log("SetLumo7BrowserInstallPath异常", e);
  }
}

void CheckInstallRegistration(const TInstallInfo& info) {
  try {
    if (IsExistingFolder(GetInstallLocation())) return;
    // Without our own folder an entry would point nowhere; leave whatever is there.
    if (info.folder.empty()) return;
    WriteInstallRegistration(info);
  } catch (const std::exception& e) {
    AppLog().Log("CheckInstallRegistration: ", e);
  }
}

void CheckInstallRegistration() { CheckInstallRegistration(CurrentInstallInfo()); }

}  // namespace zent
