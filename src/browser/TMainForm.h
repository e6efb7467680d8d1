// TMainForm: the program's only main window, in both browser roles. It owns the page and its
// view, the loading panel, the status bar, full-screen mode, the close query, the download
// flow and the recovery from a dying renderer. Engine events arrive on this window's thread;
// work they hand over goes through queued calls named after the window messages
// (UMBROWSERCREATED, UMCLOSEBROWSER, UMDOWNLOADED, UMLOADINGLAYOUT).
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "config/CommandLine.h"
#include "browser/DownloadNames.h"
#include "browser/FullScreenState.h"
#include "browser/LoadEndRules.h"
#include "browser/RendererCrashPolicy.h"
#include "browser/RequestRules.h"
#include "browser/core/BottomTexts.h"
#include "browser/core/ConsoleCommand.h"
#include "browser/UserPrompts.h"

class QWebEngineDownloadRequest;
class QWebEngineFullScreenRequest;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

namespace zent {

class BrowserPage;
class TDesktopServices;
class GlobalHotKey;
class RequestInterceptor;
class ServerConnection;
class SubScreenChannel;

inline constexpr const char* kMainFormCaption = "Nemi餐饮管理系统";
inline constexpr const char* kSubScreenCaption = "Lumo7Browser:{276E2177-7A03-4C90-9DE8-CD662DC7250E}";
inline constexpr const char* kCloseRefusedText = "当前正在进行业务处理，不允许退出。";

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // `prompts` answers the operator's questions (the toolkit's dialogs in the program).
  TMainForm(const CommandLine& commandLine, std::unique_ptr<TUserPrompts> prompts,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  void FullScreenOn();
  void FullScreenOff();
  void SwitchFullScreen();
  bool IsFullScreenMode() const { return FIsFullScreen.IsFullScreen(); }
  bool IsSubMonitor() const { return FIsSubMonitor; }

  // Page commands refuse and allow closing; the close query reads it.
  void SetCanCloseBrowser(bool value) { FCanCloseBrowser = value; }
  bool CanCloseBrowser() const { return FCanCloseBrowser; }

  void ShowStatusText(const std::string& text);
  // Remembers a status text for a page address (the page command channel fills it).
  void SetBottomText(const std::string& pageAddress, const std::string& text);
  // Runs "resetDeviceMgr();" in the page after the device manager was reset; errors ignored.
  void ResetDeviceMgrNotify();

  // Brings this window in front of the others (a second start of our role asked for it).
  void BringAppToFront();

  // Shows the debug window when debug mode made one: Alt+F12, the status-bar image and the
  // secondary screen's debug request all end here.
  void ShowDebugWindow();
  // Puts the floating restore button at the browser area's top-left corner, on screen.
  void AlignFloatButton();

  // Download flow, step 1: asks where to save a download the page offered under
  // `suggestedName`. The confirmed target, or nullopt when the operator cancelled.
  std::optional<DownloadTarget> AskDownloadTarget(const std::string& suggestedName);
  // Step 2: a download has completed at `fullPath`.
  void DownloadCompleted(const std::string& fullPath);

  QWebEngineView* BrowserView() const { return FCEFPW; }
  BrowserPage* Page() const { return FCEF; }
  QWebEngineProfile* Profile() const { return profile_.get(); }

 public slots:
  // The counterparts of the window messages, run through queued calls.
  void UMBROWSERCREATED();
  void UMCLOSEBROWSER();
  void UMDOWNLOADED(const QString& fullPath);
  void UMLOADINGLAYOUT();
  // Notices from outside parties that are not activations (the debug request 0x8490).
  void appEventMessage(quint32 message, quint32 wParam, quint32 lParam);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Loaded(const CommandLine& commandLine);
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  void BuildStatusBar();
  void BuildLoadingPanel();
  void LoadLoadingPictures();
  void ShowLoadingPanel();
  void HideLoadingPanel();
  void CreateBrowser();
  // The connect sequence's start, run while the window is built: the direct query is under
  // way before the browser exists.
  void StartConnecting();
  void CreateConnection();
  void OpenServerPage(const std::string& address);
  void MaximizeWindow();
  void ReassertFullScreen();
  void ApplyAppTitle();
  void imgConfigClick();
  // Closing with the disconnect notice: the window hides at once, the notice and the
  // secondary screen's close run on the connection's worker, then the window really closes.
  void BeginClosing();
  void FinishClosing();
  void LoadPage(const QUrl& url);
  void ConsoleMessageProcess(const std::string& message);
  void ShowPageStatusText(const std::string& text);
  void RunPageCommand(const TPageCommand& command, const std::string& pageAddress);
  void OpenUrl(const std::string& address);
  void PlaceOnLastMonitor(bool logPlacement = true);
  void OpenSubScreenIdentity();
  void CloseSubScreen();

  void OnLoadingChanged(const QWebEngineLoadingInfo& info);
  void OnConnected();
  void OnFullScreenRequested(QWebEngineFullScreenRequest request);
  void OnDownloadRequested(QWebEngineDownloadRequest* download);
  void OnRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
  void ReloadAfterCrash();

  void tmrBrowserCreateTimer();
  void pnlLoadingResize();
  void Action_UnAltF4Execute() {}
  void appEventActivate();
  void appEventDeactivate();

  // Fields.
  std::string FOSID;
  BrowserPage* FCEF = nullptr;          // page_, the browser
  QWebEngineView* FCEFPW = nullptr;     // owned by the central widget (Qt)
  bool FCanCloseBrowser = true;
  std::string FLumo7LoginParams = "{}";
  bool FIsSubMonitor = false;
  std::string FSubURL;
  TLoadEndRules FLoadRules;  // holds FLoadErrored
  TBottomTexts FBottomText;
  TFullScreenState FIsFullScreen{false, false};

  CommandLine commandLine_;
  std::unique_ptr<TUserPrompts> prompts_;
  std::unique_ptr<QWebEngineProfile> profile_;
  std::unique_ptr<BrowserPage> page_;  // after the profile: it must go first
  std::shared_ptr<TRequestRules> requestRules_;
  std::unique_ptr<RequestInterceptor> interceptor_;
  std::unique_ptr<ServerConnection> connection_;  // after the page: its reports load it
  std::optional<std::string> startError_;  // a start address that cannot be read, shown later
  enum class Closing { No, Notice, Done } closing_ = Closing::No;
  TRendererCrashPolicy crashPolicy_;
  bool crashReloadPending_ = false;
  std::unique_ptr<SubScreenChannel> subScreenChannel_;  // secondary instance: its identity served
  // Device manager and video player; its end stops a running reset and ends the player.
  std::unique_ptr<TDesktopServices> desktopServices_;
  QTimer* statusPaintHold_ = nullptr;  // page status texts: repaints held back while it runs
  bool shownOnce_ = false;
  bool browserCreated_ = false;  // the view shows our page and the window was told so

  // Controls, with their design names (owned by the window through Qt's parent chain).
  QWidget* browserArea_ = nullptr;
  QWidget* Panel_Bottom = nullptr;
  QLabel* imgConfig = nullptr;
  QLabel* imgShowDbgWnd = nullptr;
  QLabel* Label_BottomText = nullptr;
  QLabel* Label_ServerIp = nullptr;
  QLabel* labVerion = nullptr;
  QWidget* pnlLoading = nullptr;
  QLabel* imgLoading = nullptr;
  QLabel* imgLoadingText = nullptr;
  QAction* Action_UnAltF4 = nullptr;
  QTimer* tmrBrowserCreate = nullptr;
  GlobalHotKey* FHotKey = nullptr;  // Alt+F12, main instance only; owned by the window
};

}  // namespace zent
