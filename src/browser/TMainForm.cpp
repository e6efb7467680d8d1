#include "browser/TMainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMouseEvent>
#include <QPointer>
#include <QHBoxLayout>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "config/Config.h"
#include "browser/AppTitle.h"
#include "browser/BrowserPage.h"
#include "browser/DbgWin.h"
#include "browser/DesktopServices.h"
#include "browser/EngineSetup.h"
#include "browser/FloatBtnForm.h"
#include "browser/GlobalHotKey.h"
#include "browser/IpInput.h"
#include "browser/RequestInterceptor.h"
#include "browser/StartAddress.h"
#include "browser/SubScreenChannel.h"
#include "common/TextFill.h"
#include "browser/WidgetEvents.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "connection/ServerConnection.h"
#include "lang/Translate.h"
#include "netcheck/NetCheck.h"
#include "platform/Memory.h"
#include "platform/Shell.h"
#include "update/ProgramTree.h"

// The pictures live in this static library; its resources must be registered by hand.
static void InitBrowserResources() { Q_INIT_RESOURCE(resources); }

namespace zent {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString QT(const char* text) { return Q(Translate(text)); }

// Redrawing held for the duration of a window change, released whatever happens.
class UpdatesHold {
 public:
  explicit UpdatesHold(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
  ~UpdatesHold() { widget_->setUpdatesEnabled(true); }
  UpdatesHold(const UpdatesHold&) = delete;
  UpdatesHold& operator=(const UpdatesHold&) = delete;

 private:
  QWidget* widget_;
};

constexpr int kStatusBarHeight = 18;
constexpr int kSubLoadingWidth = 129;
constexpr int kSubLoadingHeight = 97;

}  // namespace

TMainForm::TMainForm(const CommandLine& commandLine, std::unique_ptr<TUserPrompts> prompts, QWidget* parent)
    : QMainWindow(parent),
      commandLine_(commandLine),
      prompts_(std::move(prompts)),
      requestRules_(std::make_shared<TRequestRules>()),
      desktopServices_(std::make_unique<TDesktopServices>(this, [this] { ResetDeviceMgrNotify(); })) {
  InitBrowserResources();
  Loaded(commandLine);
  // The direct query runs while the window is built; its answer is taken up once the
  // window's loop turns, when the page exists.
  StartConnecting();
  FormCreate();
}

TMainForm::~TMainForm() {
  // After this no report of the connection runs; one already posted dies with the window.
  connection_.reset();
  // The page must go before the profile it was made with; the view then shows nothing.
  if (FCEFPW) FCEFPW->setPage(nullptr);
  FCEF = nullptr;
  page_.reset();
  profile_.reset();
}

void TMainForm::Loaded(const CommandLine& commandLine) {
  if (auto sub = commandLine.SubUrl()) {
    FIsSubMonitor = true;
    FSubURL = *sub;
  }
  if (FIsSubMonitor) {
    setWindowTitle(QString::fromUtf8(kSubScreenCaption));
    setWindowFlag(Qt::FramelessWindowHint, true);
    FIsFullScreen = TFullScreenState(true, true);
  } else {
    // Alt+F12 shows the debug window; without debug mode there is none and the key does nothing.
    FHotKey = new GlobalHotKey(this, [this] { ShowDebugWindow(); });  // owned by the window
    FIsFullScreen = TFullScreenState(false, false);
  }
}

void TMainForm::FormCreate() {
  FOSID = ObtainDeviceId();
  requestRules_->Update(std::string(), FOSID);

  if (!FIsSubMonitor) setWindowTitle(QT(kMainFormCaption));
  QFont font(QStringLiteral("新宋体"));
  font.setPixelSize(12);
  setFont(font);
  setMinimumSize(640, 480);

  auto* central = new QWidget(this);  // owned by the window (Qt parent)
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  browserArea_ = new QWidget(central);
  auto* browserLayout = new QVBoxLayout(browserArea_);
  browserLayout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browserArea_, 1);
  setCentralWidget(central);

  // The browser: one profile wired here, the page with the kiosk policy, the view.
  interceptor_ = std::make_unique<RequestInterceptor>(requestRules_);
  profile_ = std::make_unique<QWebEngineProfile>();
  ConfigureProfile(*profile_);
  profile_->setUrlRequestInterceptor(interceptor_.get());
  connect(profile_.get(), &QWebEngineProfile::downloadRequested, this, &TMainForm::OnDownloadRequested);
  page_ = std::make_unique<BrowserPage>(profile_.get(), nullptr);
  FCEF = page_.get();
  FCEF->SetConsoleHook([this](const std::string& message) { ConsoleMessageProcess(message); });
  connect(FCEF, &QWebEnginePage::loadingChanged, this, &TMainForm::OnLoadingChanged);
  connect(FCEF, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
    if (!FIsSubMonitor) setWindowTitle(title);
  });
  connect(FCEF, &QWebEnginePage::fullScreenRequested, this, &TMainForm::OnFullScreenRequested);
  connect(FCEF, &QWebEnginePage::windowCloseRequested, this,
          [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
  connect(FCEF, &QWebEnginePage::renderProcessTerminated, this, &TMainForm::OnRenderProcessTerminated);
  FCEFPW = new QWebEngineView(browserArea_);
  // At once: a view that is shown (or asked for its page) without one builds a page of its
  // own on a second, default profile, which costs the engine's profile start-up again and
  // its memory for the life of the process.
  FCEFPW->setPage(FCEF);
  FCEFPW->setContextMenuPolicy(Qt::NoContextMenu);
  browserLayout->addWidget(FCEFPW);
  // The direct query has usually answered by now: its page starts loading at once, while the
  // rest of the window is built, instead of at the loop's first turn.
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);

  if (!FIsSubMonitor) {
    // The floating restore button's taps leave full screen. The button outlives this window.
    TfrmFloatButton* button = GetFloatButton();
    QPointer<TMainForm> self(this);
    button->SetRestoreMainForm([self] {
      if (self && self->IsFullScreenMode()) self->FullScreenOff();
    });
    button->SetNoticeBox([self](const std::string& caption, const std::string& text) {
      if (self) self->prompts_->ShowInfo(caption, text);
    });
  }
  OnGeometryChange(this, {this, FCEFPW}, [this] { AlignFloatButton(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
      appEventActivate();
    } else {
      appEventDeactivate();
    }
  });

  BuildStatusBar();
  layout->addWidget(Panel_Bottom);
  imgConfig->installEventFilter(this);  // a click opens the server address dialog
  installEventFilter(this);             // a replaced native window must be maximised again
  BuildLoadingPanel();

  // Alt+F4 is swallowed whenever the window's own key handling sees it.
  Action_UnAltF4 = new QAction(this);
  Action_UnAltF4->setObjectName(QStringLiteral("Action_UnAltF4"));
  Action_UnAltF4->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  Action_UnAltF4->setShortcutContext(Qt::WindowShortcut);
  connect(Action_UnAltF4, &QAction::triggered, this, [this] { Action_UnAltF4Execute(); });
  addAction(Action_UnAltF4);

  tmrBrowserCreate = new QTimer(this);
  tmrBrowserCreate->setObjectName(QStringLiteral("tmrBrowserCreate"));
  tmrBrowserCreate->setInterval(10);
  connect(tmrBrowserCreate, &QTimer::timeout, this, [this] { tmrBrowserCreateTimer(); });

  resize(800, 600);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  if (FIsSubMonitor) {
    Panel_Bottom->hide();
    // The main instance finds this window by its identity caption.
    OpenSubScreenIdentity();
  } else {
    setWindowState(Qt::WindowMaximized);
  }

  FCanCloseBrowser = true;
  FLumo7LoginParams = "{}";
  bool debugMode = false;
  try {
    debugMode = ReadDebugModel(commandLine_);
  } catch (const std::exception& e) {
    AppLog().Log("ReadDebugModel: ", e);
  }
  imgShowDbgWnd->setVisible(debugMode);
  FBottomText.Clear();
  labVerion->setText(Q(FillText(Translate("版本: [%s]"), GetAppVersion())));

  // Placement follows the looser role test (any argument containing "-suburl").
  if (commandLine_.IsSubScreenArg()) {
    FIsSubMonitor = true;
    FIsFullScreen = TFullScreenState(true, FIsFullScreen.IsFullScreen());
    PlaceOnLastMonitor();
  }
}

void TMainForm::BuildStatusBar() {
  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("Panel_Bottom"));
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Sunken);
  frame->setFixedHeight(kStatusBarHeight);
  Panel_Bottom = frame;
  auto* row = new QHBoxLayout(frame);
  row->setContentsMargins(0, 0, 8, 0);
  row->setSpacing(0);

  auto* icons = new QWidget(frame);
  icons->setFixedWidth(50);
  auto* iconRow = new QHBoxLayout(icons);
  iconRow->setContentsMargins(2, 0, 0, 0);
  iconRow->setSpacing(2);
  imgConfig = new QLabel(icons);
  imgConfig->setObjectName(QStringLiteral("imgConfig"));
  imgConfig->setPixmap(QPixmap(QStringLiteral(":/icons/config.png")));
  imgConfig->setFixedSize(16, 16);
  imgConfig->setCursor(Qt::PointingHandCursor);
  imgConfig->setToolTip(QT("配置"));
  imgShowDbgWnd = new QLabel(icons);
  imgShowDbgWnd->setObjectName(QStringLiteral("imgShowDbgWnd"));
  imgShowDbgWnd->setPixmap(QPixmap(QStringLiteral(":/icons/debug.png")));
  imgShowDbgWnd->setFixedSize(16, 16);
  iconRow->addWidget(imgConfig);
  iconRow->addWidget(imgShowDbgWnd);
  iconRow->addStretch(1);
  OnClick(imgShowDbgWnd, [this] { ShowDebugWindow(); });  // imgShowDbgWndClick

  Label_BottomText = new QLabel(frame);
  Label_BottomText->setObjectName(QStringLiteral("Label_BottomText"));
  Label_ServerIp = new QLabel(frame);
  Label_ServerIp->setObjectName(QStringLiteral("Label_ServerIp"));
  Label_ServerIp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  labVerion = new QLabel(frame);
  labVerion->setObjectName(QStringLiteral("labVerion"));
  labVerion->setContentsMargins(8, 0, 0, 0);
  row->addWidget(icons);
  row->addWidget(Label_BottomText, 1);
  row->addWidget(Label_ServerIp);
  row->addWidget(labVerion);
}

void TMainForm::BuildLoadingPanel() {
  pnlLoading = new QWidget(browserArea_);
  pnlLoading->setObjectName(QStringLiteral("pnlLoading"));
  pnlLoading->setAutoFillBackground(true);
  pnlLoading->setGeometry(0, 0, kSubLoadingWidth, kSubLoadingHeight);
  imgLoading = new QLabel(pnlLoading);
  imgLoading->setObjectName(QStringLiteral("imgLoading"));
  imgLoading->setScaledContents(true);
  imgLoadingText = new QLabel(pnlLoading);
  imgLoadingText->setObjectName(QStringLiteral("imgLoadingText"));
  // The pictures are decoded when the panel is first shown, not while the first page's
  // navigation waits for the window to be built.
  pnlLoading->installEventFilter(this);
  browserArea_->installEventFilter(this);
  pnlLoading->hide();
  pnlLoadingResize();
}

void TMainForm::LoadLoadingPictures() {
  if (!imgLoading->pixmap().isNull()) return;
  imgLoading->setPixmap(QPixmap(QStringLiteral(":/Loading_BG.png")));
  imgLoadingText->setPixmap(QPixmap(QStringLiteral(":/Loading_Text.png")));
  imgLoadingText->resize(imgLoadingText->pixmap().size());
  pnlLoadingResize();
}

void TMainForm::ShowLoadingPanel() {
  LoadLoadingPictures();
  pnlLoading->show();
  pnlLoading->raise();
}

void TMainForm::HideLoadingPanel() {
  pnlLoading->hide();
  // The pictures (and the label's copy scaled to the window) are decoded again should the
  // panel come back; a shown page never needs them, and they are megabytes.
  imgLoading->clear();
  imgLoadingText->clear();
  // What start-up allocated and freed goes back to the system with them.
  QMetaObject::invokeMethod(this, [] { platform::ReleaseFreeMemory(); }, Qt::QueuedConnection);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this && event->type() == QEvent::WinIdChange && !FIsSubMonitor) {
    if (FIsFullScreen.IsFullScreen()) {
      QMetaObject::invokeMethod(this, [this] { ReassertFullScreen(); }, Qt::QueuedConnection);
    } else if (windowState() & Qt::WindowMaximized) {
      QMetaObject::invokeMethod(this, [this] { MaximizeWindow(); }, Qt::QueuedConnection);
    }
  }
  if (watched == imgConfig && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    imgConfigClick();
    return true;
  }
  if (event->type() == QEvent::Resize) {
    if (watched == pnlLoading) {
      pnlLoadingResize();
    } else if (watched == browserArea_ && !FIsSubMonitor && pnlLoading->isVisible()) {
      pnlLoading->setGeometry(browserArea_->rect());
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::pnlLoadingResize() {
  const QRect area = pnlLoading->rect();
  imgLoading->setGeometry(area);
  // Centred, each quotient truncated toward zero.
  const int left = (area.width() - imgLoadingText->width()) / 2;
  const int top = (area.height() - imgLoadingText->height()) / 2;
  imgLoadingText->move(left, top);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    FormShow();
  }
}

void TMainForm::FormShow() {
  // The first page may have loaded already (it starts while the window is built).
  if (connection_->Steps().ContinuousFind()) ShowLoadingPanel();
  QMetaObject::invokeMethod(this, "UMLOADINGLAYOUT", Qt::QueuedConnection);
  CreateBrowser();
  AlignFloatButton();
  // After the browser view's first showing, which replaces the native window and with it a
  // state set now.
  if (ReadRunOptions()) QMetaObject::invokeMethod(this, [this] { FullScreenOn(); }, Qt::QueuedConnection);
  if (commandLine_.IsSubScreenArg()) PlaceOnLastMonitor(false);  // fully on the last monitor
}

void TMainForm::CreateBrowser() {
  if (browserCreated_) return;
  if (FCEFPW->page() != FCEF) FCEFPW->setPage(FCEF);
  if (FCEFPW->page() != FCEF) {
    tmrBrowserCreate->start();
    return;
  }
  browserCreated_ = true;
  QMetaObject::invokeMethod(this, "UMBROWSERCREATED", Qt::QueuedConnection);
}

void TMainForm::tmrBrowserCreateTimer() {
  tmrBrowserCreate->stop();
  CreateBrowser();
}

void TMainForm::UMLOADINGLAYOUT() {
  if (!FIsSubMonitor) {
    pnlLoading->setGeometry(browserArea_->rect());
    pnlLoadingResize();
  }
  update();
}

void TMainForm::StartConnecting() {
  // The connect sequence: work out the server, then open its page or search for it. The
  // role follows the looser test for the page, as the window's placement does.
  const bool subScreen = FIsSubMonitor || commandLine_.IsSubScreenArg();
  if (subScreen) AppLog().Log(0, "副屏");
  bool fixHost = ReadFixHost(false);
  std::string hostText;
  std::string paramUrl;
  if (auto ip = commandLine_.Ip()) {
    hostText = *ip;
    fixHost = true;
  }
  if (auto url = commandLine_.Url()) {
    paramUrl = *url;
    fixHost = true;
  }
  TPageChoice choice{subScreen, FSubURL, paramUrl};
  TConnectionReports reports;
  reports.loadPage = [this](const std::string& address) { OpenServerPage(address); };
  reports.serverInUse = [](const std::string& host, uint16_t port) { SetNetCheckServer(host, port); };
  // The window outlives its connection, which stops every thread that posts before it goes.
  auto post = [this](std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
  connection_ = std::make_unique<ServerConnection>(std::move(choice), post, std::move(reports));
  try {
    const TStartAddress start = ChooseStartAddress(paramUrl, hostText, ReadServerConfig());
    AppLog().Log(1, start.logLine);
    if (!start.watchHost.empty()) SetNetCheckServer(start.watchHost, start.watchPort);
    connection_->Begin(start.uri, fixHost);
    // The page exists from here on and loads without a view: the first navigation need not
    // wait until the window has been shown.
    connection_->BrowserReady();
  } catch (const std::exception& e) {
    // A start address we cannot read: the window stays on its loading screen and says why
    // once the browser exists.
    AppLog().Log(std::string(), e);
    startError_ = e.what();
  }
}

void TMainForm::UMBROWSERCREATED() {
  if (startError_) {
    prompts_->ShowError(Translate(kAppTitleText), *startError_);
    return;
  }
  if (!FIsSubMonitor) MaximizeWindow();
  ApplyAppTitle();
  if (!desktopServices_->EnsureDeviceMgrStarted(*prompts_)) return;  // its failure skips the debug window
  try {
    zent::CreateDebugWindow(FCEF, ReadDebugModel(commandLine_));
  } catch (const std::exception& e) {
    AppLog().Log("ReadDebugModel: ", e);
  }
}

void TMainForm::OpenServerPage(const std::string& address) {
  requestRules_->Update(connection_->Steps().Uri().host, FOSID);
  if (!FCEF) return;
  LoadPage(QUrl(Q(address)));
}

void TMainForm::LoadPage(const QUrl& url) {
  AppLog().Log(0, "LoadURL: " + url.toString().toStdString());
  FCEF->load(url);
}

void TMainForm::MaximizeWindow() {
  if (FIsFullScreen.IsFullScreen() || !windowHandle()) return;
  // The toolkit replaces the native window when the browser view first shows, and skips a
  // state it believes is already set: clear it first so the window manager hears it again.
  if (windowState() & Qt::WindowMaximized) setWindowState(windowState() & ~Qt::WindowMaximized);
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

// Full screen entered before the native window was replaced (run option at show) is told to
// the window manager again, or a kiosk started without a server stays a small window.
void TMainForm::ReassertFullScreen() {
  if (!FIsFullScreen.IsFullScreen() || !windowHandle()) return;
  setWindowState(windowState() & ~Qt::WindowFullScreen);
  setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowFullScreen);
}

void TMainForm::ApplyAppTitle() {
  const QString icon = Q(AppIconFileName());
  if (QFileInfo::exists(icon)) QApplication::setWindowIcon(QIcon(icon));
  SetApplicationTitle(Translate(kAppTitleText));
  if (!FIsSubMonitor) setWindowTitle(Q(ApplicationTitle()));
}

void TMainForm::imgConfigClick() {
  try {
    std::string host = connection_->Steps().DialogHost();
    bool fix = connection_->Steps().FixHost();
    if (!ShowIpInput(this, commandLine_, host, fix)) return;
    connection_->StopConnecting(fix);
    const bool debugMode = ReadDebugModel(commandLine_);
    imgShowDbgWnd->setVisible(debugMode);
    zent::CreateDebugWindow(FCEF, debugMode);
    if (!connection_->NewServer(host)) return;

    LoadPage(QUrl(QStringLiteral("about:blank")));
    if (!FIsSubMonitor) pnlLoading->setGeometry(browserArea_->rect());
    ShowLoadingPanel();
    Label_BottomText->clear();
    Label_ServerIp->clear();
    repaint();
    connection_->ConnectTo(host);
  } catch (const std::exception& e) {
    AppLog().Log(std::string(), e);
  }
}

void TMainForm::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    FLoadRules.OnStarted();
    return;
  }
  LoadEnd end;
  end.aboutBlank = info.url() == QUrl(QStringLiteral("about:blank"));
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      end.kind = LoadEndKind::Succeeded;
      break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      end.kind = LoadEndKind::Stopped;
      break;
    default:
      // An error status page arrives as a failure in the HTTP status domain; everything
      // else (connection, name resolution, certificate, internal) is a load error.
      if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        end.kind = LoadEndKind::HttpStatus;
        end.httpStatus = info.errorCode();
      } else {
        end.kind = LoadEndKind::Error;
      }
      break;
  }
  const std::string url = info.url().toString().toStdString();
  if (end.kind == LoadEndKind::Error) {
    AppLog().LogFmt(2, "LoadError: %d %s %s", info.errorCode(), info.errorString().toStdString().c_str(),
                    url.c_str());
  } else {
    AppLog().LogFmt(0, "LoadEnd: %d %s", LoadEndStatus(end), url.c_str());
  }
  const LoadEndActions actions = FLoadRules.OnEnded(end, connection_->Steps().ContinuousFind(), FIsSubMonitor);
  if (actions.retryLoad) {
    const QUrl failed = info.url();
    QMetaObject::invokeMethod(this, [this, failed] { LoadPage(failed); }, Qt::QueuedConnection);
  }
  if (actions.rearmTimer) connection_->PageFailed();
  if (actions.runFlagScript) FCEF->runJavaScript(QStringLiteral("inLumo7Browser=true"));
  if (actions.connected) OnConnected();
}

void TMainForm::OnConnected() {
  connection_->Connected();
  if (!FIsSubMonitor) FCEFPW->setFocus();
  HideLoadingPanel();
  // The update check is made sure of here once it exists (it normally starts with the program).
  const std::string serverText = FillText(Translate("已连接服务器: [%s]"), connection_->Steps().Uri().host);
  Label_ServerIp->setText(Q(serverText));
  AppLog().Log(0, serverText);
  if (auto text = FBottomText.Find(FCEF->url().toString().toStdString())) Label_BottomText->setText(Q(*text));
}

void TMainForm::ShowStatusText(const std::string& text) { Label_BottomText->setText(Q(text)); }

void TMainForm::SetBottomText(const std::string& pageAddress, const std::string& text) {
  FBottomText.Set(pageAddress, text);
}

void TMainForm::OnFullScreenRequested(QWebEngineFullScreenRequest request) {
  request.accept();
  // The window follows the page whatever its own state was.
  FIsFullScreen.Set(!request.toggleOn());
  SwitchFullScreen();
}

void TMainForm::FullScreenOn() {
  if (FIsFullScreen.On() == FullScreenChange::None) return;
  UpdatesHold hold(this);
  FIsFullScreen.Set(true);
  Panel_Bottom->hide();
  setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowFullScreen);
}

void TMainForm::FullScreenOff() {
  if (FIsFullScreen.Off() == FullScreenChange::None) return;
  UpdatesHold hold(this);
  FIsFullScreen.Set(false);
  if (windowFlags() & Qt::WindowStaysOnTopHint) {
    // Changing a window flag hides the window; it comes back below.
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (visible) show();
  }
  setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowFullScreen)) | Qt::WindowMaximized);
  Panel_Bottom->show();
}

void TMainForm::SwitchFullScreen() {
  if (FIsFullScreen.IsFullScreen()) {
    FullScreenOff();
  } else {
    FullScreenOn();
  }
}

void TMainForm::BringAppToFront() {
  AppLog().Log(0, "Activated by a second start");
  if (closing_ != Closing::No) return;  // a closing window stays gone
  if (!isVisible()) show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void TMainForm::ShowDebugWindow() { zent::ShowDebugWindow(); }

void TMainForm::AlignFloatButton() {
  // Only a shown window has its place on screen; showing it aligns the button.
  if (!isVisible() || !FCEFPW) return;
  PlaceFloatButton(FCEFPW->mapToGlobal(QPoint(0, 0)));
}

void TMainForm::appEventActivate() {
  ShowFloatButton();
  if (!FIsSubMonitor && FCEFPW) FCEFPW->setFocus();
}

void TMainForm::appEventDeactivate() { HideFloatButton(); }

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closing_ == Closing::Done) {
    event->accept();
    return;
  }
  // Already closing: the window goes once the disconnect notice is done.
  if (closing_ == Closing::Notice || !FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  if (closing_ == Closing::Notice) {
    event->ignore();
    return;
  }
  event->accept();
}

bool TMainForm::FormCloseQuery() {
  if (FCanCloseBrowser) return true;
  prompts_->ShowInfo(Translate("提示"), Translate(kCloseRefusedText));
  return false;
}

void TMainForm::FormClose() {
  FBottomText.Clear();
  if (!FIsSubMonitor) BeginClosing();
}

void TMainForm::BeginClosing() {
  closing_ = Closing::Notice;
  hide();
  HideFloatButton();
  connection_->Disconnect(FOSID, FLumo7LoginParams, [this] {
    // The connection's worker: the secondary screen's close is waited for here too.
    CloseSubScreen();
    QMetaObject::invokeMethod(this, [this] { FinishClosing(); }, Qt::QueuedConnection);
  });
}

void TMainForm::FinishClosing() {
  closing_ = Closing::Done;
  close();
  // Closing a window that is already hidden does not end the loop by itself.
  QCoreApplication::quit();
}

void TMainForm::UMCLOSEBROWSER() { close(); }

std::optional<DownloadTarget> TMainForm::AskDownloadTarget(const std::string& suggestedName) {
  const std::string name = SafeDownloadName(suggestedName);
  const std::string ext = FileExtension(name);
  SaveFileRequest request;
  // Never the program's folder: a page's file saved there could pass for an update package.
  request.startFolder = ReadLastPath();
  if (request.startFolder.empty() || IsInsideProgramTree(request.startFolder)) {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    request.startFolder = (QFileInfo(downloads).isDir() ? downloads : QDir::homePath()).toStdString();
  }
  request.suggestedName = name;
  request.filter = SaveDialogFilter(ext);
  const auto chosen = prompts_->AskSavePath(request);
  if (!chosen) return std::nullopt;
  auto target = ChosenDownloadTarget(*chosen, ext);
  if (target && IsInsideProgramTree(target->FullPath())) {
    prompts_->ShowError(ApplicationTitle(), Translate("不能保存到程序所在的文件夹，请选择其他文件夹。"));
    return std::nullopt;
  }
  return target;
}

void TMainForm::OnDownloadRequested(QWebEngineDownloadRequest* download) {
  const auto target = AskDownloadTarget(download->suggestedFileName().toStdString());
  if (!target) {
    download->cancel();  // nothing is saved and nothing further is asked
    return;
  }
  download->setDownloadDirectory(Q(target->folder));
  download->setDownloadFileName(Q(target->fileName));
  const std::string fullPath = target->FullPath();
  connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, fullPath] {
    if (download->state() == QWebEngineDownloadRequest::DownloadCompleted) DownloadCompleted(fullPath);
  });
  download->accept();
}

void TMainForm::DownloadCompleted(const std::string& fullPath) {
  if (fullPath.empty()) return;
  SaveLastPath(FolderOf(fullPath));
  if (!QFileInfo::exists(Q(fullPath))) {
    AppLog().Log(2, FillText(Translate("%s文件不存在！"), fullPath));
    return;
  }
  QMetaObject::invokeMethod(this, "UMDOWNLOADED", Qt::QueuedConnection, Q_ARG(QString, Q(fullPath)));
}

void TMainForm::UMDOWNLOADED(const QString& fullPath) {
  if (!prompts_->AskYesNo(Translate("提示"), Translate("是否打开已下载的文件"))) return;
  try {
    const int result = platform::ShellOpen(fullPath.toStdString());
    // Access denied is accepted silently, as the desktop reports it for files it opened anyway.
    if (result < 32 && result != platform::kShellAccessDenied) {
      throw Exception(Format("ShellExecute.Return: %d", result));
    }
  } catch (const std::exception& e) {
    prompts_->ShowError(ApplicationTitle(),
                        FillText(Translate("异常：%s"), e.what()));
  }
}

void TMainForm::OnRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                                          int exitCode) {
  if (status == QWebEnginePage::NormalTerminationStatus) return;
  if (crashReloadPending_) {
    AppLog().LogFmt(2, "RendererTerminated: status=%d exitCode=%d (reload already pending)",
                    static_cast<int>(status), exitCode);
    return;
  }
  const auto delay = crashPolicy_.OnCrash(TRendererCrashPolicy::Clock::now());
  AppLog().LogFmt(2, "RendererTerminated: status=%d exitCode=%d reloadIn=%lldms url=%s",
                  static_cast<int>(status), exitCode, static_cast<long long>(delay.count()),
                  FCEF->url().toString().toStdString().c_str());
  crashReloadPending_ = true;
  // A coarse timer may fire up to 5% early, which would let a fourth reload into the minute.
  QTimer::singleShot(delay, Qt::PreciseTimer, this, [this] { ReloadAfterCrash(); });
}

void TMainForm::ReloadAfterCrash() {
  crashReloadPending_ = false;
  const QUrl current = FCEF->url();
  // The page the server was showing, else the start page.
  const std::string& host = connection_->Steps().Uri().host;
  if (current.isValid() && !host.empty() && current.host().toStdString() == host) {
    LoadPage(current);
  } else {
    connection_->OpenServerPage();
  }
}

}  // namespace zent
