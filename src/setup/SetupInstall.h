// The installer's work: reading its switches, finding the folder of the installation it
// updates, and replacing the program's files so that an interruption at any moment leaves a
// runnable program: everything is first extracted into a hidden folder inside the target,
// put on disk, and only then moved over the installed files one rename at a time (the main
// program last).
#pragma once

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

// The folder to install into: the recorded one, else /DIR=, else empty.
std::string ChooseTargetFolder(const SetupOptions& options, const std::string& recorded);

// Installs the payload of the installer file `self` into `target` (created when missing).
// Returns an exit code; `error` says what went wrong.
int InstallPayload(const std::string& self, const std::string& target, std::string& error);

// The whole run: options, target, question unless silent, install. Messages go to stderr.
int RunSetup(const std::string& self, const std::vector<std::string>& args);

}  // namespace zent::setup
