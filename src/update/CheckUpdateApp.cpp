#include "update/CheckUpdateApp.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/FsPath.h"
#include "platform/PartialFile.h"
#include "update/HandOffRecord.h"
#include "update/PackageDigest.h"
#include "update/TrustedKeys.h"
#include "update/UpdateNames.h"
#include "update/UpdateScript.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

bool FolderExists(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_directory(platform::FsPath(folder), ec);
}

std::error_code RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(platform::FsPath(path), ec);
  return ec;
}

std::string FileNameOf(const std::string& path) { return platform::LeafOf(path); }

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

// Settles the record of the previous hand-off from `folder`: a package whose installation
// left the program unchanged is removed and listed as failed.
void SettlePreviousHandOff(const std::string& folder, const char* prefix, const std::string& appVersion) {
  const auto record = ReadHandOffRecord(folder);
  switch (JudgeHandOff(record, appVersion)) {
    case THandOffVerdict::None:
      return;
    case THandOffVerdict::Succeeded:
      AppLog().Log(0, "上次升级已完成: " + record->appVersion + " -> " + appVersion);
      break;
    case THandOffVerdict::Failed: {
      // The record is in a folder others may write: only a package name of ours is removed.
      const bool ours = IsSafePackageNamePart(record->packageName) && record->packageName.starts_with(prefix);
      AppLog().Log(2, "升级未完成，程序版本仍为" + appVersion + "，不再安装此升级包: " + folder +
                          record->packageName);
      if (ours) {
        if (auto ec = RemoveFile(folder + record->packageName)) AppLog().Log(2, "清除升级包异常：" + platform::ErrorText(ec));
        try {
          TFailedPackages(folder).Add({record->sha256, record->packageName});
        } catch (const std::exception& e) {
          AppLog().Log("CheckUpdateApp", e);
        }
      }
      break;
    }
  }
  RemoveHandOffRecord(folder);
}

// Whether `package` may be handed off: signed with a key we trust and not a package that
// failed before. One that may not is deleted, never run.
bool Admissible(const THandOffContext& ctx, const std::string& folder, const std::string& package,
                std::string& sha256) {
  const SignatureCheck check = VerifyPackageSignature(package, ctx.keys);
  if (!check.valid) {
    AppLog().Log(2, "升级包签名无效，已删除: " + package + ": " + check.reason);
    if (auto ec = RemoveFile(package)) AppLog().Log(2, "清除升级包异常：" + platform::ErrorText(ec));
    return false;
  }
  sha256 = FileSha256(package);
  if (TFailedPackages(folder).Contains(FileNameOf(package), sha256)) {
    AppLog().Log(2, "升级包曾安装失败，已删除: " + package);
    if (auto ec = RemoveFile(package)) AppLog().Log(2, "清除升级包异常：" + platform::ErrorText(ec));
    return false;
  }
  return true;
}

// Records the hand-off, then starts the script; the record goes again when it did not start.
bool HandOff(const THandOffContext& ctx, const std::string& folder, const std::string& package,
             const std::string& sha256, const std::string& packageVersion) {
  try {
    WriteHandOffRecord(folder, {FileNameOf(package), sha256, packageVersion, ctx.appVersion});
  } catch (const std::exception& e) {
    // Without the record a failing package could be handed off at every start.
    AppLog().Log(2, std::string("升级交接记录失败: ") + e.what());
    return false;
  }
  if (ctx.execUpdate(package)) return true;
  RemoveHandOffRecord(folder);
  return false;
}

}  // namespace

bool CheckUpdateApp(const THandOffContext& ctx) {
  AppLog().Log(0, "程序版本：" + ctx.appVersion);

  const std::string mainFolder = ctx.installBase + kMainPackageFolder;
  const std::string fallbackFolder = ctx.installBase + kFallbackPackageFolder;
  SettlePreviousHandOff(mainFolder, kMainPackagePrefix, ctx.appVersion);
  SettlePreviousHandOff(fallbackFolder, kFallbackPackagePrefix, ctx.appVersion);

  if (FolderExists(mainFolder)) {
    platform::RemoveStalePartialFiles(mainFolder);
    const std::string package = FindPackage(mainFolder, kMainPackagePrefix);
    std::string sha256;
    if (!package.empty() && Admissible(ctx, mainFolder, package, sha256)) {
      const std::string version = GetFileVersion(package);
      if (version != ctx.appVersion) return HandOff(ctx, mainFolder, package, sha256, version);
      AppLog().Log(0, "升级程序版本与当前程序版本相同: " + package);
      if (auto ec = RemoveFile(package)) AppLog().Log(2, "清除升级包异常：" + platform::ErrorText(ec));
      return false;
    }
  }

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
  std::string sha256;
  if (!Admissible(ctx, fallbackFolder, package, sha256)) return false;
  const std::string version = GetFileVersion(package);
  if (CompareOrNotNewer(ctx.appVersion, version) == 1)
    return HandOff(ctx, fallbackFolder, package, sha256, version);
  std::this_thread::sleep_for(std::chrono::milliseconds(ctx.fallbackDeleteDelayMs));
  if (auto ec = RemoveFile(package)) AppLog().Log(2, "升级检查清除升级包异常：" + platform::ErrorText(ec) + "。");
  return false;
}

bool CheckUpdateApp() {
  THandOffContext ctx;
  ctx.appVersion = GetAppVersion();
  ctx.installBase = InstallBaseOf(GetAppFileName());
  ctx.execUpdate = [](const std::string& package) { return ExecUpdate(package); };
  ctx.keys = LoadTrustedKeys(kUpdateKeyFolder, [](const std::string& line) { AppLog().Log(1, line); });
  return CheckUpdateApp(ctx);
}

}  // namespace zent
