// The update hand-off: where the script goes, what its installer step runs, and starting it.
// The script itself is the system's own (platform/HandOffScript.h): "UpdateCmd.sh" here.
// An installed package keeps the program folder root's: there the script lies in the
// group-writable "Temp/" of the installation base and its installer step asks the root
// helper, which finds, copies and verifies the package itself, instead of running the package.
#pragma once

#include <string>
#include <vector>

namespace zent {

// The root helper of an installed package (allowed through sudo without a password).
inline constexpr char kApplyUpdateHelper[] = "/usr/libexec/lumo7browser/lumo7-apply-update";

// Where the script goes and what its installer step runs.
struct TUpdateScriptPlan {
  std::string scriptPath;
  std::vector<std::string> installerCommand;  // empty: the package with "/SILENT /NOCANCEL"
  bool packaged = false;                      // the root helper installs; we never run the package
};
// Direct (the program's folder is writable, or there is no helper): the script beside the
// program runs the package. Packaged: the script in "<install base>Temp/" runs the helper
// with the administrator's rights and no arguments.
TUpdateScriptPlan PlanUpdateScript(const std::string& programPath, bool programFolderWritable,
                                   bool helperExists);

// Writes the script where PlanUpdateScript puts it, makes the package executable (direct
// mode only) and starts the script. True when the script was written and started; false
// (logged as "ExecUpdate异常:%s") otherwise.
bool ExecUpdate(const std::string& packagePath);
// The same for another program path (tests).
bool ExecUpdateFor(const std::string& programPath, const std::string& packagePath);

}  // namespace zent
