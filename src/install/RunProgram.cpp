#include "install/RunProgram.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/DebugOutput.h"
#include "platform/FsPath.h"
#include "platform/Process.h"

namespace zent {

namespace {

// Children started without waiting: reaped once ended, so none lingers as a zombie beyond
// the next start.
std::mutex gChildrenMutex;
std::vector<uint32_t> gChildren;

void ReapEndedChildren() {
  std::lock_guard lock(gChildrenMutex);
  std::erase_if(gChildren, [](uint32_t pid) { return platform::WaitProcess(pid, 0).has_value(); });
}

}  // namespace

uint32_t RunProgram(const std::string& file, const std::vector<std::string>& parameters, bool wait) {
  ReapEndedChildren();
  if (file.empty()) return 0;
  // The child starts in the file's folder, so a relative name must not be read from there.
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::absolute(platform::FsPath(file), ec);
  if (ec) return 0;
  platform::SpawnOptions options;
  options.workingDirectory = platform::Utf8Of(program.parent_path());
  options.newSession = true;
  uint32_t pid = 0;
  if (platform::SpawnProcess(platform::Utf8Of(program), parameters, options, pid)) return 0;
  if (wait) {
    platform::WaitProcess(pid, 0xFFFFFFFFu);
  } else {
    std::lock_guard lock(gChildrenMutex);
    gChildren.push_back(pid);
  }
  return pid;
}

uint32_t RunNFCCheckProgram(const std::string& folder) {
  platform::OutputDebugString("RunNFCCheckProgram-Begin");
  const std::string file = folder + kNFCCheckProgram;
  platform::OutputDebugString("  File:" + file);
  uint32_t pid = 0;
  std::error_code ec;
  if (!folder.empty() && std::filesystem::is_regular_file(platform::FsPath(file), ec)) {
    platform::OutputDebugString("  Run-Begin");
    pid = RunProgram(file, {}, false);
    if (pid == 0) AppLog().Log(2, "RunNFCCheckProgram: " + file + " could not be started");
    platform::OutputDebugString("  Run-End");
  }
  platform::OutputDebugString("RunNFCCheckProgram-End");
  return pid;
}

uint32_t RunNFCCheckProgram() { return RunNFCCheckProgram(GetAppFolder()); }

}  // namespace zent
