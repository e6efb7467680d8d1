#include "update/apply/ApplyUpdate.h"

#include <cstdio>
#include <filesystem>

#include "common/PrivatePath.h"
#include "common/Utils.h"
#include "platform/FileStatus.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/ReadOnlyFile.h"
#include "update/PackageSignature.h"
#include "update/TrustedKeys.h"
#include "update/UpdateNames.h"
#include "platform/ErrorText.h"

namespace zent::apply {
namespace {

namespace fs = std::filesystem;

// Removes the copy on every way out.
class CopyGuard {
 public:
  explicit CopyGuard(std::string path) : path_(std::move(path)) {}
  ~CopyGuard() {
    std::error_code ec;
    fs::remove(platform::FsPath(path_), ec);
  }
  CopyGuard(const CopyGuard&) = delete;
  CopyGuard& operator=(const CopyGuard&) = delete;

 private:
  std::string path_;
};

std::string CopyError(const std::error_code& ec) {
  if (ec == std::errc::too_many_symbolic_link_levels) return "a link, not a file";
  if (ec == std::errc::invalid_argument) return "not a regular file";
  if (ec == std::errc::file_too_large) return "larger than 2 GiB";
  return platform::ErrorText(ec);
}

}  // namespace

bool ArgumentsAccepted(const std::vector<std::string>& args) { return args.empty(); }

std::string ChoosePackage(const ApplyPaths& paths) {
  std::string package = FindPackage(paths.mainFolder, kMainPackagePrefix);
  if (package.empty()) package = FindPackage(paths.fallbackFolder, kFallbackPackagePrefix);
  return package;
}

VersionRule DecideVersion(const std::string& installed, const std::string& package) {
  if (installed.empty() || package.empty()) return VersionRule::kUnreadable;
  int order = 0;
  try {
    order = CompareVer(installed, package);
  } catch (const std::exception&) {
    return VersionRule::kUnreadable;
  }
  if (order == 1) return VersionRule::kInstall;
  return order == 0 ? VersionRule::kSameVersion : VersionRule::kOlder;
}

std::string PrepareWorkFolder(const std::string& folder, uint32_t owner) {
  // Its parents first: a folder someone else may rename could be swapped under us.
  if (std::string why = WhyFolderNotPrivate(folder, owner, /*mayBeMissing=*/true); !why.empty()) return why;
  std::error_code ec;
  if (fs::create_directory(platform::FsPath(folder), ec)) fs::permissions(platform::FsPath(folder), fs::perms::owner_all, ec);
  if (ec) return folder + ": cannot be created: " + platform::ErrorText(ec);
  platform::PathStatus st;
  if (auto statEc = platform::GetPathStatus(folder, st)) return folder + ": " + platform::ErrorText(statEc);
  if (st.link || !st.folder) return folder + ": not a real folder";
  if (st.owner != owner) return folder + ": owned by uid " + std::to_string(st.owner) + ", not " + std::to_string(owner);
  if (st.mode != 0700) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", st.mode);
    return folder + ": mode " + mode + ", not 0700";
  }
  return {};
}

int ApplyUpdate(const ApplyPaths& paths, uint32_t owner, const InstallerRunner& runInstaller,
                const std::function<void(const std::string&)>& report) {
  const std::string package = ChoosePackage(paths);
  if (package.empty()) {
    report("no update package in " + paths.mainFolder + " or " + paths.fallbackFolder);
    return kApplyRefused;
  }
  report("package " + package);

  if (std::string why = PrepareWorkFolder(paths.workFolder, owner); !why.empty()) {
    report("refused: work folder " + why);
    return kApplyRefused;
  }
  platform::ReadOnlyFile source;
  std::string copy;
  std::error_code ec = source.Open(package, /*followLink=*/false);
  if (!ec) ec = source.CopyToPrivateFile(paths.workFolder, kMaxPackageSize, copy);
  source.Close();
  if (ec) {
    report("refused: " + package + ": " + CopyError(ec));
    return kApplyRefused;
  }
  CopyGuard removeCopy(copy);
  report("copied to " + copy);

  const auto keys = LoadTrustedKeysOwnedBy(paths.keyFolder, owner, report);
  const SignatureCheck check = VerifyPackageSignature(copy, keys);
  if (!check.valid) {
    report("refused: " + check.reason);
    return kApplyRefused;
  }
  report("signature valid (key " + check.keyOrigin + ")");

  const std::string installed = GetFileVersion(paths.installedProgram);
  const std::string offered = GetFileVersion(copy);
  switch (DecideVersion(installed, offered)) {
    case VersionRule::kUnreadable:
      report("refused: version unreadable (installed \"" + installed + "\", package \"" + offered + "\")");
      return kApplyRefused;
    case VersionRule::kOlder:
      report("refused: package version " + offered + " is older than the installed " + installed);
      return kApplyRefused;
    case VersionRule::kSameVersion:
      report("version " + offered + " is already installed: nothing to do");
      return kApplyNothingToDo;
    case VersionRule::kInstall:
      break;
  }
  report("installing version " + offered + " over " + installed + " into " + paths.installFolder);
  const int code = runInstaller(copy, paths.installFolder);
  report("installer ended with exit code " + std::to_string(code));
  return code;
}

int RunInstaller(const std::string& installer, const std::string& installFolder) {
  platform::SpawnOptions options;
  options.workingDirectory = "/";
  uint32_t pid = 0;
  if (platform::SpawnProcess(installer, {"/SILENT", "/NOCANCEL", "/DIR=" + installFolder}, options, pid))
    return kApplyRefused;
  return platform::WaitProcess(pid, 0xFFFFFFFFu).value_or(kApplyRefused);
}

}  // namespace zent::apply
