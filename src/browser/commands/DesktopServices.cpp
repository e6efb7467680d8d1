#include "browser/commands/DesktopServices.h"

#include "config/Config.h"
#include "browser/rules/AppTitle.h"
#include "common/FileLog.h"
#include "common/Utils.h"
#include "devices/DeviceMgr.h"
#include "devices/ResetDeviceMgrThread.h"
#include "lang/Translate.h"
#include "media/AdPlayback.h"
#include "platform/FsPath.h"

namespace zent {
namespace {

// The player's folder: "Player" beside the executable.
std::string PlayerFolder() {
  const std::string exe = GetAppFileName();
  return platform::FolderOf(exe) + "Player";
}

}  // namespace

TDesktopServices::TDesktopServices(QObject* window, std::function<void()> resetDone)
    : window_(window),
      reset_(std::make_unique<TDeviceMgrReset>([window, resetDone = std::move(resetDone)] {
        // The window outlives the reset (this object stops it first), so the call cannot
        // reach a destroyed window.
        QMetaObject::invokeMethod(window, resetDone, Qt::QueuedConnection);
      })) {}

TDesktopServices::~TDesktopServices() {
  reset_.reset();
  FMediaPlayer.reset();
}

bool TDesktopServices::EnsureDeviceMgrStarted(TUserPrompts& prompts) {
  try {
    zent::EnsureDeviceMgrStarted();
    return true;
  } catch (const std::exception& e) {
    // Reported like any failure of the connect sequence.
    AppLog().Log(std::string(), e);
    prompts.ShowError(Translate(kAppTitleText), e.what());
    return false;
  }
}

void TDesktopServices::StartDeviceMgrReset() {
  if (!reset_->StartDeviceMgrReset()) AppLog().Log(0, "ResetDeviceMgr: a reset is running already");
}

void TDesktopServices::PlayAD(const TPageCommand& command, QPoint clientOrigin) {
  if (!command.ad) {
    AppLog().Log(2, command.failure);
    return;
  }
  if (!FMediaPlayer) {
    FMediaPlayer = std::make_unique<TAdPlayback>(
        PlayerFolder(), MakeDesktopPlayerWindows(), [](const TAdRequest& request, const std::string& error) {
          if (!error.empty()) AppLog().Log(2, PlayADFailureText(request.itemsText, error));
        });
  }
  const TAdParams& ad = *command.ad;
  const ServerConfig server = ReadServerConfig();
  FMediaPlayer->Play(MakeAdRequest(ad.left, ad.top, ad.width, ad.height, clientOrigin.x(), clientOrigin.y(),
                                   ad.url, server.host, server.port, command.itemsText));
}

}  // namespace zent
