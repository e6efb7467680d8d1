// The program's entry: decides the process role, keeps one running instance per role,
// configures the browser engine and runs the main window until it closes. Services that
// start with the program plug into the marked steps.
#include <unistd.h>

#include <QApplication>
#include <exception>
#include <memory>

#include "app/core/CommandLine.h"
#include "app/core/Config.h"
#include "app/EndSignalWatcher.h"
#include "browser/ActivationRule.h"
#include "browser/DbgWin.h"
#include "browser/EngineSetup.h"
#include "browser/FloatBtnForm.h"
#include "browser/QtUserPrompts.h"
#include "browser/RoleNoticeWatcher.h"
#include "browser/TMainForm.h"
#include "common/FileLog.h"
#include "extras/FloatBtnTaps.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "discovery/FindServer.h"
#include "discovery/NetUtils.h"
#include "platform/Clock.h"
#include "platform/NamedLock.h"
#include "platform/RoleNotice.h"

namespace {

using namespace zent;

// Tells the running instance of this role to come to the front; never waits for it.
void NotifyRunningInstance(const std::string& instanceName) {
  const int reached = platform::BroadcastRoleNotice(
      platform::RoleNoticeFolder(instanceName), {kActivateMessage, platform::TickCount(), 2});
  AppLog().LogFmt(0, "Instance running: activation notice sent to %d process(es)", reached);
}

// The server finder's thread lives from process initialisation to process end, whichever
// way the process ends.
class FindServerModule {
 public:
  FindServerModule() { InitializeFindServer(); }
  ~FindServerModule() { FinalizeFindServer(); }
  FindServerModule(const FindServerModule&) = delete;
  FindServerModule& operator=(const FindServerModule&) = delete;
};

// The MAC text of the first physical adapter; any failure leaves the engine's own user agent.
std::string UserAgentFromAdapters() {
  try {
    const std::vector<TNetAdapter> adapters = GetNetAdapters(true, true);
    return adapters.empty() ? std::string() : adapters.front().Mac;
  } catch (const std::exception& e) {
    AppLog().Log("GetNetAdapters: ", e);
    return {};
  }
}

// Makes the executable's folder the current directory; a failure is ignored on purpose.
void EnterExecutableFolder() {
  const std::string exe = GetAppFileName();
  const size_t cut = exe.rfind('/');
  if (cut == std::string::npos) return;
  if (::chdir(exe.substr(0, cut + 1).c_str()) != 0) {
    // Relative paths are not relied on; nothing else to do.
  }
}

// Frees the floating button and the debug window while the window system is still there.
struct AuxWindowsEnd {
  AuxWindowsEnd() = default;
  AuxWindowsEnd(const AuxWindowsEnd&) = delete;
  AuxWindowsEnd& operator=(const AuxWindowsEnd&) = delete;
  ~AuxWindowsEnd() {
    FinalizeDebugWindow();
    FinalizeFloatButton();
  }
};

int Run(int argc, char** argv) {
  const CommandLine commandLine(argc, argv);
  // Process-wide initialisation of the modules: log folder, own version, the idle finder
  // thread, the floating button's tap watcher (later the language, the update folders, the
  // install registration).
  InitFileLog();
  InitAppFileInfo();
  const FindServerModule finder;
  const FloatBtnTapsScope floatButtonTaps;

  // The engine's helper processes are a separate executable; should one ever be started from
  // ours, it runs nothing of the program.
  if (commandLine.IsEngineSubProcess()) return 0;

  const std::string instanceName = commandLine.InstanceName();
  platform::NamedLock instanceLock(instanceName);
  if (platform::NamedLock::Exists(instanceName)) {
    if (ReadSingleInst()) {
      NotifyRunningInstance(instanceName);
      return 0;
    }
    // Allowed beside the running one: this process holds the role too, and skips the
    // pending-update hand-off.
    if (auto ec = instanceLock.Hold()) {
      AppLog().Log(2, Format("Instance lock [%s]: %s", instanceName.c_str(), ec.message().c_str()));
    }
  } else {
    if (auto ec = instanceLock.Hold()) {
      AppLog().Log(2, Format("Instance lock [%s]: %s", instanceName.c_str(), ec.message().c_str()));
    }
    // The pending-update hand-off runs here, in the first instance only.
  }
  // Started here once they exist: the NFC check program, the update check, the network watch.

  EnterExecutableFolder();

  const std::string userAgent = UserAgentFromAdapters();
  AppLog().Log(1, "UserAgent: " + userAgent);
  SetEngineUserAgent(userAgent);
  PrepareEngineBeforeApplication();

  QApplication app(argc, argv);
  EndSignalWatcher endSignals;  // from here on SIGTERM/SIGINT/SIGHUP wait for the loop
  AppLog().LogFmt(0, "Browser start: %s, version %s", commandLine.HasSubUrl() ? "secondary screen" : "main",
                  GetAppVersion().c_str());

  auto prompts = std::make_unique<QtUserPrompts>();
  QtUserPrompts* promptsView = prompts.get();
  TMainForm form(commandLine, std::move(prompts));
  promptsView->SetOwner(&form);
  const AuxWindowsEnd auxWindowsEnd;  // before the window goes

  RoleNoticeWatcher notices;
  QObject::connect(&notices, &RoleNoticeWatcher::activateRequested, &form, &TMainForm::BringAppToFront);
  QObject::connect(&notices, &RoleNoticeWatcher::noticeReceived, &form, &TMainForm::appEventMessage);
  notices.Open(instanceName);

  endSignals.CloseOnRequest(&form);
  form.show();
  const int code = app.exec();
  AppLog().Log(0, "Browser end");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // Every way out, an exception included, releases the window, the engine and the instance
  // lock through their owners before the process ends.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    zent::AppLog().Log("Start-up: ", e);
    return 1;
  }
}
