#include "browser/window/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineView>

#include "browser/QtText.h"
#include "browser/commands/DesktopServices.h"
#include "browser/commands/PageCommandRunner.h"
#include "browser/dialogs/Dialogs.h"
#include "browser/dialogs/UserPrompts.h"
#include "browser/engine/BrowserEngine.h"
#include "browser/engine/BrowserPage.h"
#include "browser/engine/CrashRecovery.h"
#include "browser/engine/DownloadFlow.h"
#include "browser/engine/PageLoadWatch.h"
#include "browser/engine/RendererWatchdog.h"
#include "browser/engine/StartAddress.h"
#include "browser/rules/AppTitle.h"
#include "browser/rules/KioskOptions.h"
#include "browser/secondary/SecondaryScreen.h"
#include "browser/window/CloseSequence.h"
#include "browser/window/LoadingPanel.h"
#include "browser/window/StatusBar.h"
#include "browser/window/WidgetEvents.h"
#include "browser/window/WindowCaption.h"
#include "browser/window/WindowState.h"
#include "browser/window/ZoomLock.h"
#include "common/FileLog.h"
#include "common/TextFill.h"
#include "common/Utils.h"
#include "config/Config.h"
#include "connection/ServerConnection.h"
#include "netcheck/NetCheck.h"

// The pictures live in this static library; its resources must be registered by hand.
static void InitBrowserResources() { Q_INIT_RESOURCE(resources); }

namespace zent {
namespace {

bool DebugModeOrOff(const CommandLine& commandLine) {
  try {
    return ReadDebugModel(commandLine);
  } catch (const std::exception& e) {
    AppLog().Log("ReadDebugModel: ", e);
    return false;
  }
}

}  // namespace

// Every part exists before a report of the connection can run: the direct query starts
// before the engine (the slow part) so its answer is usually in once everything is built.
MainWindow::MainWindow(const CommandLine& commandLine, std::unique_ptr<TUserPrompts> prompts, QWidget* parent)
    : QMainWindow(parent),
      commandLine_(commandLine),
      role_(WindowRoleOf(commandLine)),
      prompts_(std::move(prompts)),
      desktopServices_(std::make_unique<TDesktopServices>(this, [this] {
        // The page defines the function; whatever the script does is no concern of ours.
        if (engine_) engine_->Page()->runJavaScript(QStringLiteral("resetDeviceMgr();"));
      })) {
  InitBrowserResources();
  BuildWindow();
  StartConnecting();
  BuildEngine();
  BuildParts();
  TakeUpEarlyReports();
}

MainWindow::~MainWindow() {
  // After this no report of the connection runs; one already posted dies with the window.
  connection_.reset();
  // The view lets go of the page before the page and its profile go.
  if (view_) view_->setPage(nullptr);
  dialogs_.reset();
  engine_.reset();
}

BrowserPage* MainWindow::Page() const { return engine_->Page(); }

void MainWindow::BuildWindow() {
  if (role_.identityWindow) {
    setWindowTitle(QString::fromUtf8(kSubScreenCaption));
    setWindowFlag(Qt::FramelessWindowHint, true);
  } else {
    setWindowTitle(Tr(kMainWindowCaption));
  }
  QFont font(QStringLiteral("新宋体"));
  font.setPixelSize(12);
  setFont(font);
  setMinimumSize(640, 480);
  auto* central = new QWidget(this);  // owned by the window (Qt parent)
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  browserArea_ = new QWidget(central);
  (new QVBoxLayout(browserArea_))->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browserArea_, 1);
  statusBar_ = new StatusBar(central);
  layout->addWidget(statusBar_);
  setCentralWidget(central);
  loadingPanel_ = new LoadingPanel(browserArea_, !role_.secondary);
  state_ = new WindowState(this, statusBar_, role_.secondary, role_.identityWindow);
  // Alt+F4 is swallowed whenever the window's own key handling sees it.
  auto* swallowAltF4 = new QAction(this);
  swallowAltF4->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  swallowAltF4->setShortcutContext(Qt::WindowShortcut);
  addAction(swallowAltF4);
}

void MainWindow::BuildEngine() {
  engine_ = std::make_unique<BrowserEngine>(ObtainDeviceId());
  BrowserPage* page = engine_->Page();
  if (!role_.secondary) new WindowCaption(this, page);  // owned by the window
  connect(page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
    request.accept();
    state_->FollowPage(request.toggleOn());
  });
  connect(page, &QWebEnginePage::windowCloseRequested, this, &QWidget::close, Qt::QueuedConnection);
  view_ = new QWebEngineView(browserArea_);
  // At once: a view that is shown (or asked for its page) without one builds a page of its
  // own on a second, default profile, with its start-up cost and memory.
  view_->setPage(page);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  new ZoomLock(view_);  // owned by the view
  browserArea_->layout()->addWidget(view_);
}

void MainWindow::BuildParts() {
  const TKioskOptions kiosk = ReadKioskOptions(RunOptionsFileName(GetAppFileName()));
  dialogs_ = std::make_unique<Dialogs>(
      this, !role_.identityWindow, *prompts_,
      [this] {
        if (state_->IsFullScreen()) state_->FullScreenOff();
      },
      kiosk);
  // The kiosk session has nothing to bring a minimised window back from but the empty screen.
  dialogs_->SetTapRestoreAction([this] { state_->RestoreFullScreen(); });
  connect(state_, &WindowState::minimizedChanged, this, [this](bool minimized) {
    const QScreen* where = screen();
    if (minimized && where && !closing_->IsClosing()) {
      dialogs_->ArmTapToRestore(where->geometry());
    } else {
      dialogs_->DisarmTapToRestore();
    }
  });
  crashRecovery_ = new CrashRecovery(*engine_, *connection_, this);
  loadWatch_ = new PageLoadWatch(
      *engine_, *connection_, role_.secondary, [this] { OnConnected(); },
      [this] { return crashRecovery_->ReloadPlanned(); }, this);
  // A page hung while the window closes is left alone: it goes with the window.
  new RendererWatchdog(*engine_->Page(), [this] { return closing_ && closing_->IsClosing(); }, this);
  downloads_ = new DownloadFlow(engine_->Profile(), *prompts_, this);
  commands_ = new PageCommandRunner(engine_->Page(), *this, *desktopServices_, this);
  secondary_ = new SecondaryScreen(this, role_.secondary, [this] { dialogs_->ShowDebugWindow(); });
  closing_ = new CloseSequence(this, *prompts_, *connection_, engine_->Osid(), !role_.secondary,
                               {[this] { statusBar_->ForgetPageTexts(); }, [this] { dialogs_->HideFloatButton(); },
                                &SecondaryScreen::CloseSecondaryWindow});
  connect(statusBar_, &StatusBar::configClicked, this, &MainWindow::ChangeServer);
  connect(statusBar_, &StatusBar::debugClicked, this, [this] { dialogs_->ShowDebugWindow(); });
  OnGeometryChange(this, {this, view_}, [this] { AlignFloatButton(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, &MainWindow::OnApplicationState);
  resize(800, 600);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  if (role_.identityWindow) {
    statusBar_->hide();
    secondary_->OpenIdentity();  // the main instance finds this window by it
  } else {
    setWindowState(Qt::WindowMaximized);
  }
  statusBar_->SetDebugImageVisible(DebugModeOrOff(commandLine_));
  if (role_.secondary) secondary_->PlaceOnLastMonitor();
}

void MainWindow::StartConnecting() {
  // The connect sequence: work out the server, then open its page or search for it.
  if (role_.secondary) AppLog().Log(0, "副屏");
  TConnectionReports reports;
  reports.loadPage = [this](const std::string& address) { OpenServerPage(address); };
  reports.serverInUse = [](const std::string& host, uint16_t port) { SetNetCheckServer(host, port); };
  // The window outlives its connection, which stops every thread that posts before it goes.
  auto post = [this](std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
  TPageChoice choice{role_.secondary, role_.subUrl, commandLine_.Url().value_or(std::string())};
  connection_ = std::make_unique<ServerConnection>(std::move(choice), post, std::move(reports));
  // A start address we cannot read: the window stays on its loading screen and says why
  // once the browser exists.
  startError_ = BeginConnection(*connection_, commandLine_);
}

// An answer of the direct query that is in already loads the page now, while the window is
// still to be shown, instead of at the loop's first turn.
void MainWindow::TakeUpEarlyReports() { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); }

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  FirstShow();
}

void MainWindow::FirstShow() {
  // The first page may have loaded already (it starts while the window is built).
  if (connection_->Steps().ContinuousFind()) loadingPanel_->ShowOver();
  QMetaObject::invokeMethod(this, &MainWindow::LayOutLoadingPanel, Qt::QueuedConnection);
  QMetaObject::invokeMethod(this, &MainWindow::OnBrowserCreated, Qt::QueuedConnection);
  AlignFloatButton();
  // After the browser view's first showing, which replaces the native window and with it a
  // state set now.
  if (ReadRunOptions()) QMetaObject::invokeMethod(this, &MainWindow::FullScreenOn, Qt::QueuedConnection);
  if (role_.secondary) secondary_->PlaceOnLastMonitor(false);  // fully on the last monitor
}

void MainWindow::OnBrowserCreated() {
  if (startError_) {
    prompts_->ShowError(Translate(kAppTitleText), *startError_);
    return;
  }
  if (!role_.secondary) state_->Maximize();
  ApplyAppTitle();
  if (!desktopServices_->EnsureDeviceMgrStarted(*prompts_)) return;  // its failure skips the debug window
  try {
    dialogs_->CreateDebugWindow(engine_->Page(), ReadDebugModel(commandLine_));
  } catch (const std::exception& e) {
    AppLog().Log("ReadDebugModel: ", e);
  }
}

void MainWindow::LayOutLoadingPanel() {
  loadingPanel_->FitToArea();
  update();
}

void MainWindow::OpenServerPage(const std::string& address) {
  engine_->SetServerHost(connection_->Steps().Uri().host);
  engine_->Load(QUrl(ToQt(address)));
}

void MainWindow::OnConnected() {
  connection_->Connected();
  if (!role_.secondary) view_->setFocus();
  loadingPanel_->HideAndRelease();
  const std::string serverText = FillText(Translate("已连接服务器: [%s]"), connection_->Steps().Uri().host);
  statusBar_->ShowServer(serverText);
  AppLog().Log(0, serverText);
  statusBar_->ShowRememberedText(engine_->CurrentAddress());
}

void MainWindow::ChangeServer() {
  try {
    std::string host = connection_->Steps().DialogHost();
    bool fix = connection_->Steps().FixHost();
    if (!dialogs_->AskServerAddress(commandLine_, host, fix)) return;
    connection_->StopConnecting(fix);
    const bool debugMode = ReadDebugModel(commandLine_);
    statusBar_->SetDebugImageVisible(debugMode);
    dialogs_->CreateDebugWindow(engine_->Page(), debugMode);
    if (!connection_->NewServer(host)) return;
    engine_->Load(QUrl(QStringLiteral("about:blank")));
    loadingPanel_->FitToArea();
    loadingPanel_->ShowOver();
    statusBar_->ClearTexts();
    repaint();
    connection_->ConnectTo(host);
  } catch (const std::exception& e) {
    AppLog().Log(std::string(), e);
  }
}

void MainWindow::ApplyAppTitle() {
  const QString icon = ToQt(AppIconFileName());
  if (QFileInfo::exists(icon)) QApplication::setWindowIcon(QIcon(icon));
  SetApplicationTitle(Translate(kAppTitleText));
  if (!role_.secondary) setWindowTitle(ToQt(ApplicationTitle()));
}

void MainWindow::AlignFloatButton() {
  // Only a shown window has its place on screen; showing it aligns the button.
  if (isVisible() && view_) dialogs_->PlaceFloatButton(view_->mapToGlobal(QPoint(0, 0)));
}

void MainWindow::OnApplicationState(Qt::ApplicationState state) {
  if (state != Qt::ApplicationActive) {
    dialogs_->HideFloatButton();
    return;
  }
  dialogs_->ShowFloatButton();
  if (!role_.secondary) view_->setFocus();
}

void MainWindow::BringToFront() {
  AppLog().Log(0, "Activated by a second start");
  if (closing_->IsClosing()) return;  // a closing window stays gone
  if (!isVisible()) show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void MainWindow::OnRoleNotice(quint32 message, quint32 wParam, quint32 lParam) {
  secondary_->OnNotice(message, wParam, lParam);
}

void MainWindow::closeEvent(QCloseEvent* event) { closing_->OnCloseEvent(event); }

void MainWindow::SwitchFullScreen() { state_->SwitchFullScreen(); }
void MainWindow::FullScreenOn() { state_->FullScreenOn(); }
void MainWindow::FullScreenOff() { state_->FullScreenOff(); }
void MainWindow::ShowPageText(const std::string& pageAddress, const std::string& text) {
  statusBar_->ShowPageText(pageAddress, text);
}
void MainWindow::SetCanClose(bool canClose) { closing_->SetCanClose(canClose); }
void MainWindow::Minimize() { setWindowState(windowState() | Qt::WindowMinimized); }
void MainWindow::SetLoginParams(const std::string& params) { closing_->SetLoginParams(params); }
QPoint MainWindow::ClientOrigin() const { return mapToGlobal(QPoint(0, 0)); }

}  // namespace zent
