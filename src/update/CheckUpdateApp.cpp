#include "update/CheckUpdateApp.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/PartialFile.h"
#include "update/UpdateNames.h"
#include "update/UpdateScript.h"

namespace zent {
namespace {

bool FolderExists(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_directory(folder, ec);
}

std::error_code RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return ec;
}

// 1 when `candidate` is newer. A version that does not compare (a part that is no number)
// is logged and counts as not newer: a hostile package must not stop the program's start.
int CompareOrNotNewer(const std::string& current, const std::string& candidate) {
  try {
    return CompareVer(current, candidate);
  } catch (const std::exception& e) {
    AppLog().Log("CheckUpdateApp", e);
    return 0;
  }
}

}  // namespace

bool CheckUpdateApp(const THandOffContext& ctx) {
  AppLog().Log(0, "程序版本：" + ctx.appVersion);

  const std::string mainFolder = ctx.installBase + kMainPackageFolder;
  if (FolderExists(mainFolder)) {
    platform::RemoveStalePartialFiles(mainFolder);
    const std::string package = FindPackage(mainFolder, kMainPackagePrefix);
    if (!package.empty()) {
      if (GetFileVersion(package) != ctx.appVersion) return ctx.execUpdate(package);
      AppLog().Log(0, "升级程序版本与当前程序版本相同: " + package);
      if (auto ec = RemoveFile(package)) AppLog().Log(2, "清除升级包异常：" + ec.message());
      return false;
    }
  }

  const std::string fallbackFolder = ctx.installBase + kFallbackPackageFolder;
  if (!FolderExists(fallbackFolder)) {
    AppLog().Log(0, "CheckUpdateApp升级程序不存在，退出升级检查(A)。");
    return false;
  }
  platform::RemoveStalePartialFiles(fallbackFolder);
  const std::string package = FindPackage(fallbackFolder, kFallbackPackagePrefix);
  if (package.empty()) {
    AppLog().Log(0, "CheckUpdateApp升级程序不存在，退出升级检查(B)。");
    return false;
  }
  if (CompareOrNotNewer(ctx.appVersion, GetFileVersion(package)) == 1) return ctx.execUpdate(package);
  std::this_thread::sleep_for(std::chrono::milliseconds(ctx.fallbackDeleteDelayMs));
  if (auto ec = RemoveFile(package)) AppLog().Log(2, "升级检查清除升级包异常：" + ec.message() + "。");
  return false;
}

bool CheckUpdateApp() {
  THandOffContext ctx;
  ctx.appVersion = GetAppVersion();
  ctx.installBase = InstallBaseOf(GetAppFileName());
  ctx.execUpdate = [](const std::string& package) { return ExecUpdate(package); };
  return CheckUpdateApp(ctx);
}

}  // namespace zent
