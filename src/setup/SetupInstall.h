// The installer's work: reading its switches, finding the folder of the installation it
// updates, and replacing the program's files so that an interruption at any moment leaves a
// runnable program: everything is first extracted into a hidden folder inside the target,
// put on disk, and only then moved over the installed files one rename at a time (the main
// program last).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zent::setup {

// Exit codes, as the update script and the installers it was written for know them.
inline constexpr int kSetupOk = 0;
inline constexpr int kSetupDamaged = 1;      // the installer's own payload cannot be used
inline constexpr int kSetupNotBegun = 2;     // nothing was touched (no target, declined)
inline constexpr int kSetupFailed = 4;       // failed while installing

struct SetupOptions {
  bool silent = false;    // /SILENT or /VERYSILENT: no question
  bool noCancel = false;  // /NOCANCEL (there is nothing to cancel; accepted)
  std::string dir;        // /DIR=<folder>
};

// Switches compare without case; unknown switches are ignored.
SetupOptions ParseSetupOptions(const std::vector<std::string>& args);

// The installed-programs entry's folder ("InstallLocation" in the machine hive) when it names
// an existing folder, else empty.
std::string RecordedInstallFolder();

// A system install: root runs the installer with /DIR= (the privileged update helper does).
// The folder comes from /DIR= alone, since the installed-programs entry lives in a hive the
// kiosk group may write, and root installs only into a folder nobody else may change.
bool IsSystemInstall(const SetupOptions& options, uint32_t effectiveUser);

// The folder to install into: for a system install /DIR=; otherwise the recorded one, else
// /DIR=, else empty.
std::string ChooseTargetFolder(const SetupOptions& options, const std::string& recorded,
                               bool systemInstall = false);

// Why a system install may not write into `target` (empty when it may): the folder (it may
// be missing) and every folder above it must be real folders owned by `owner` (root) or
// root that neither group nor others may write.
std::string WhySystemTargetRefused(const std::string& target, uint32_t owner);

// Installs the payload of the installer file `self` into `target` (created when missing).
// Files get the payload's mode bits without any write access for group or others (sharing
// with the group is the target folder's choice, see platform::ShareWithFolderGroup). Returns
// an exit code; `error` says what went wrong.
int InstallPayload(const std::string& self, const std::string& target, std::string& error);

// The whole run: options, target, question unless silent, install. Messages go to stderr.
int RunSetup(const std::string& self, const std::vector<std::string>& args);

}  // namespace zent::setup
