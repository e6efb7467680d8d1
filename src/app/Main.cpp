// The program's entry: decides the process role, keeps one running instance per role,
// configures the browser engine and runs the main window until it closes. Services that
// start with the program plug into the marked steps.
#include <QApplication>
#include <exception>
#include <optional>
#include <string>
#include <memory>

#include "app/EndSignalWatcher.h"
#include "config/CommandLine.h"
#include "config/Config.h"
#include "browser/rules/ActivationRule.h"
#include "browser/rules/WindowRole.h"
#include "browser/engine/EngineSetup.h"
#include "browser/dialogs/QtUserPrompts.h"
#include "browser/window/RoleNoticeWatcher.h"
#include "browser/window/LoopProbe.h"
#include "browser/window/MainWindow.h"
#include "common/FileLog.h"
#include "extras/FloatBtnTaps.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "discovery/FindServer.h"
#include "discovery/NetUtils.h"
#include "install/InstallRegistration.h"
#include "install/RunProgram.h"
#include "lang/Translate.h"
#include "netcheck/NetCheck.h"
#include "platform/Clock.h"
#include "platform/Memory.h"
#include "platform/NamedLock.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/RoleNotice.h"
#include "update/CheckUpdateApp.h"
#include "update/UpdateThread.h"
#include "platform/FsPath.h"
#include "platform/ErrorText.h"

namespace {

using namespace zent;

constexpr const char* kJournalSocketVariable = "LUMO7_JOURNAL_SOCKET";

// Tells the running instance of this role to come to the front; never waits for it.
void NotifyRunningInstance(const std::string& instanceName) {
  const int reached =
      platform::BroadcastRoleNotice(instanceName, {kActivateMessage, platform::TickCount(), 2});
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
  const std::string folder = platform::FolderOf(exe);
  if (folder.empty()) return;
  // Relative paths are not relied on: a failure changes nothing else.
  [[maybe_unused]] const std::error_code ec = platform::SetCurrentFolder(folder);
}

// LUMO7_JOURNAL_SOCKET, read once here, names another socket for the journal's entries (a
// test's stand-in, a relay of the deployment); they then go there only, never to syslog.
void EnableJournalFromEnvironment() {
  const std::optional<std::string> socket = platform::EnvironmentValue(kJournalSocketVariable);
  if (socket && !socket->empty()) {
    // Named as the fallback too: an absent socket drops the entry rather than reach syslog.
    EnableSystemJournal(*socket, *socket);
  } else {
    EnableSystemJournal();
  }
}

int Run(int argc, char** argv) {
  // Before the first allocation worth the name: the window's memory stays what it uses.
  platform::KeepLargeBlocksApart();
  const CommandLine commandLine(argc, argv);
  // Process-wide initialisation of the modules: log folder, own version, the languages, the
  // idle finder thread, the floating button's tap watcher (later the update folders).
  InitFileLog();
  // Errors, configuration values and the banners also reach the machine's journal, where a
  // chain collects them; before the first entry, so the begin banner goes there too.
  EnableJournalFromEnvironment();
  InitAppFileInfo();
  // Languages from "Lang" beside the executable; "Lang.config" picks this (the window's) thread's.
  const LanguagesScope languages(GetAppFileName());
  const FindServerModule finder;
  const FloatBtnTapsScope floatButtonTaps;
  const UpdateCheckScope updateCheck;  // a running check is stopped on every way out

  // The engine's helper processes are a separate executable; should one ever be started from
  // ours, it runs nothing of the program.
  if (commandLine.IsEngineSubProcess()) return 0;
  // The installed-programs entry: every start of ours keeps it pointing at this folder.
  CheckInstallRegistration();

  const std::string instanceName = commandLine.InstanceName();
  platform::NamedLock instanceLock(instanceName);
  // The look for a running instance and the hold are one step, so of several starts at the
  // same moment exactly one becomes the first instance.
  bool running = false;
  if (auto ec = platform::HoldAndTellIfHeld(instanceLock, running)) {
    AppLog().Log(2, Format("Instance lock [%s]: %s", instanceName.c_str(), platform::ErrorText(ec).c_str()));
  }
  if (running) {
    if (ReadSingleInst()) {
      NotifyRunningInstance(instanceName);
      return 0;
    }
    // Allowed beside the running one: this process holds the role too, and skips the
    // pending-update hand-off.
  } else {
    // The pending-update hand-off runs here, in the first instance only.
    if (CheckUpdateApp()) return 0;
  }
  // The NFC check program (never waited for), the update check and the network watch.
  RunNFCCheckProgram();
  StartUpdateCheck();
  const NetCheckScope netCheck;
  StartNetCheck(ReadNetCheckTargets(RunOptionsFileName(GetAppFileName())));

  EnterExecutableFolder();

  const std::string userAgent = UserAgentFromAdapters();
  AppLog().Log(1, "UserAgent: " + userAgent);
  SetEngineUserAgent(userAgent);
  PrepareEngineBeforeApplication();

  QApplication app(argc, argv);
  EndSignalWatcher endSignals;  // from here on SIGTERM/SIGINT/SIGHUP wait for the loop
  AppLog().LogFmt(0, "Browser start: %s, version %s", WindowRoleOf(commandLine).identityWindow ? "secondary screen" : "main",
                  GetAppVersion().c_str());

  auto prompts = std::make_unique<QtUserPrompts>();
  QtUserPrompts* promptsView = prompts.get();
  MainWindow form(commandLine, std::move(prompts));
  promptsView->SetOwner(&form);

  RoleNoticeWatcher notices;
  QObject::connect(&notices, &RoleNoticeWatcher::activateRequested, &form, &MainWindow::BringToFront);
  QObject::connect(&notices, &RoleNoticeWatcher::noticeReceived, &form, &MainWindow::OnRoleNotice);
  notices.Open(instanceName);

  // Tests and benchmarks measure the window's loop through this; nothing runs without it.
  const auto loopProbe = StartLoopProbeFromEnvironment();

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
