#include "update/UpdateScript.h"

#include <filesystem>

#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/HandOffScript.h"
#include "update/UpdateNames.h"
#include "platform/ErrorText.h"

namespace zent {

TUpdateScriptPlan PlanUpdateScript(const std::string& programPath, bool programFolderWritable,
                                   bool helperExists) {
  TUpdateScriptPlan plan;
  if (programFolderWritable || !helperExists) {
    plan.scriptPath = platform::FolderOf(programPath) + platform::HandOffScriptName();
    return plan;
  }
  plan.packaged = true;
  plan.scriptPath = InstallBaseOf(programPath) + "Temp/" + platform::HandOffScriptName();
  plan.installerCommand = platform::ElevatedCommand(kApplyUpdateHelper);
  return plan;
}

bool ExecUpdateFor(const std::string& programPath, const std::string& packagePath) {
  AppLog().Log(0, "ExecUpdate-Begin");
  bool result = false;
  try {
    // A newline would end the quoted word inside the search pattern; no real path has one.
    if (programPath.find('\n') != std::string::npos || packagePath.find('\n') != std::string::npos)
      throw Exception("路径含有换行符");
    const std::string folder = platform::FolderOf(programPath);
    std::error_code ec;
    const TUpdateScriptPlan plan = PlanUpdateScript(programPath, platform::IsWritableFolder(folder),
                                                    std::filesystem::is_regular_file(platform::FsPath(kApplyUpdateHelper), ec));
    const std::string& scriptPath = plan.scriptPath;
    const platform::HandOff handOff{programPath, packagePath, scriptPath, plan.installerCommand};
    if (auto writeEc = platform::ReplaceFile(scriptPath, platform::HandOffScriptText(handOff), 0755))
      throw Exception(Format("%s: %s", scriptPath.c_str(), platform::ErrorText(writeEc).c_str()));
    if (!std::filesystem::exists(platform::FsPath(scriptPath), ec))
      throw Exception(Format("%s文件不存在，无法执行升级", scriptPath.c_str()));
    if (!plan.packaged) {
      // The downloaded package has no execute permission yet.
      std::filesystem::permissions(platform::FsPath(packagePath),
                                   std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec,
                                   std::filesystem::perm_options::add, ec);
      if (ec) throw Exception(Format("%s: %s", packagePath.c_str(), platform::ErrorText(ec).c_str()));
    }
    if (auto startEc = platform::StartHandOffScript(scriptPath))
      throw Exception(Format("%s: %s", scriptPath.c_str(), platform::ErrorText(startEc).c_str()));
    result = true;
  } catch (const std::exception& e) {
    AppLog().Log(2, std::string("ExecUpdate异常:") + e.what());
  }
  AppLog().Log(0, "ExecUpdate-End");
  return result;
}

bool ExecUpdate(const std::string& packagePath) { return ExecUpdateFor(GetAppFileName(), packagePath); }

}  // namespace zent
