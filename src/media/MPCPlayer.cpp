#include "media/MPCPlayer.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/ProfileFile.h"
#include "common/TextFill.h"
#include "lang/Translate.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

// A killed process is gone at once; the bound only guards against one stuck in the kernel.
constexpr uint32_t kReapWaitMs = 5000;

}  // namespace

TMPCPlayer::TMPCPlayer(std::string playPath, std::shared_ptr<TPlayerWindows> windows, TPlayerWindowWait wait)
    : FPath(std::move(playPath)),
      FPlayFile(FPath + "/mpc-be.exe"),
      FIniFile(FPath + "/mpc-be.ini"),
      windows_(std::move(windows)),
      wait_(wait) {}

TMPCPlayer::~TMPCPlayer() { Stop(); }

std::vector<std::string> TMPCPlayer::Arguments(const std::string& url) { return {"/play", url}; }

void TMPCPlayer::Stop() {
  if (FProcessId == 0) return;
  // Also when it has ended already: that reaps it.
  platform::TerminateProcess(FProcessId);
  platform::WaitProcess(FProcessId, kReapWaitMs);
  FProcessId = 0;
}

void TMPCPlayer::WriteWindowRect(const TScreenRect& rect) {
  // A folder that cannot be made shows up as the failure to write the file.
  std::error_code ignored;
  std::filesystem::create_directory(platform::FsPath(FPath), ignored);
  ProfileFile(FIniFile).WriteString(kPlayerSettingsSection, kPlayerWindowRectKey, EncodeWindowRect(rect));
}

void TMPCPlayer::Play(const TScreenRect& rect, const std::string& url, std::stop_token stop) {
  WriteWindowRect(rect);
  const std::vector<std::string> args = Arguments(url);
  Stop();
  platform::SpawnOptions options;
  options.workingDirectory = FPath;
  uint32_t pid = 0;
  if (const auto ec = platform::SpawnProcess(FPlayFile, args, options, pid)) {
    throw Exception(FillTexts(Translate("MPC调用失败", "调用失败,命令参数如下\r\n[CP('%s', ' %s')]\r\n错误信息[%s]"),
                              {FPlayFile, Format("/play \"%s\"", url.c_str()), platform::ErrorText(ec)}));
  }
  FProcessId = pid;
  TakeOffTaskbar(stop);
}

void TMPCPlayer::TakeOffTaskbar(std::stop_token stop) {
  if (!windows_) return;
  std::mutex mutex;
  std::condition_variable_any pause;
  for (int look = 0; look < wait_.looks; ++look) {
    if (auto window = windows_->FindShownWindow(FProcessId)) {
      if (!windows_->SkipTaskbar(*window)) AppLog().Log(2, "MPC: the player's window stays on the taskbar");
      return;
    }
    if (look + 1 == wait_.looks) break;
    std::unique_lock lock(mutex);
    if (pause.wait_for(lock, stop, wait_.pause, [] { return false; }) || stop.stop_requested()) return;
  }
  AppLog().LogFmt(0, "MPC: no window of the player (%u) showed", FProcessId);
}

}  // namespace zent
