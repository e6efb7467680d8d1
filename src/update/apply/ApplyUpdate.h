// The privileged update helper (`lumo7-apply-update`, run as root through sudo by members of
// the kiosk group): installs the pending update package only when its signature verifies.
// The package folders are writable by the group, so everything in them is hostile: the
// package is copied into a folder only root may use and only the copy is checked and run.
// The steps and their decisions are plain functions over paths given as parameters, so tests
// run them in temporary folders under their own user id; the program passes the real ones.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/TrustedKeys.h"

namespace zent::apply {

// Exit codes: the installer's own code after an install (0 done, 2 declined, others failed).
inline constexpr int kApplyNothingToDo = 0;
inline constexpr int kApplyRefused = 1;
inline constexpr int kApplyUsage = 64;

// The largest package copied.
inline constexpr uint64_t kMaxPackageSize = uint64_t{2} << 30;

// The environment the helper and the installer run with: nothing of the caller's.
inline constexpr char kSafePath[] = "/usr/sbin:/usr/bin:/sbin:/bin";

struct ApplyPaths {
  std::string mainFolder = "/var/lib/lumo7browser/Temp/ExeBuf/";
  std::string fallbackFolder = "/var/lib/lumo7browser/Temp/ExeBuf_O/";
  std::string workFolder = "/var/lib/lumo7browser/apply/";
  std::string keyFolder = kUpdateKeyFolder;
  std::string installFolder = "/opt/lumo7browser/bin";
  std::string installedProgram = "/opt/lumo7browser/bin/Lumo7Browser";
};

// The helper takes no argument at all: sudo allows exactly the bare command.
bool ArgumentsAccepted(const std::vector<std::string>& args);

// The package the start-up hand-off would install: a main package, else a fallback one;
// empty when there is none.
std::string ChoosePackage(const ApplyPaths& paths);

enum class VersionRule { kInstall, kSameVersion, kOlder, kUnreadable };
// Newer installs, the same version is nothing to do, older is refused; an empty or
// non-numeric version on either side is refused too.
VersionRule DecideVersion(const std::string& installed, const std::string& package);

// Makes sure `folder` exists as root's work folder: created mode 0700 when missing; refused
// (the reason returned) unless it is a real folder owned by `owner` with mode 0700 whose
// parents only `owner` or root may change. Empty when usable.
std::string PrepareWorkFolder(const std::string& folder, uint32_t owner);

// Runs the verified installer copy into the install folder and returns its exit code.
using InstallerRunner =
    std::function<int(const std::string& installer, const std::string& installFolder)>;

// The whole run after the argument check: find, copy, verify, compare versions, install.
// `owner` is the user every trusted file and folder must belong to (root in the program);
// `report` gets one line per step.
int ApplyUpdate(const ApplyPaths& paths, uint32_t owner, const InstallerRunner& runInstaller,
                const std::function<void(const std::string&)>& report);

// The real installer run: `installer /SILENT /NOCANCEL /DIR=<folder>` from "/", waited for.
int RunInstaller(const std::string& installer, const std::string& installFolder);

}  // namespace zent::apply
