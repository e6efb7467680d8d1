// MainWindow: the program's only main window, in both roles (main instance, secondary
// screen). It works out its role once, builds its parts, wires them to each other and to
// the server connection, and forwards its own events to them:
//   engine/     profile, page, view's page, load watch, crash recovery, hang watchdog, downloads
//   window/     status bar, loading panel, window state (full screen), close sequence, zoom lock, caption
//   commands/   the page-command runner (against PageCommandTarget, implemented here)
//   secondary/  the secondary screen's placement, identity and debug request
//   dialogs/    floating button, hot key, debug window, address dialog
#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>

#include "browser/commands/PageCommandTarget.h"
#include "browser/rules/WindowRole.h"
#include "config/CommandLine.h"

class QWebEngineView;

namespace zent {

class BrowserEngine;
class BrowserPage;
class CloseSequence;
class CrashRecovery;
class Dialogs;
class DownloadFlow;
class LoadingPanel;
class PageCommandRunner;
class PageLoadWatch;
class SecondaryScreen;
class ServerConnection;
class StatusBar;
class TDesktopServices;
class TUserPrompts;
class WindowState;

inline constexpr const char* kMainWindowCaption = "Nemi餐饮管理系统";

class MainWindow : public QMainWindow, private PageCommandTarget {
  Q_OBJECT
 public:
  // `prompts` answers the operator's questions (the toolkit's dialogs in the program).
  MainWindow(const CommandLine& commandLine, std::unique_ptr<TUserPrompts> prompts, QWidget* parent = nullptr);
  ~MainWindow() override;

  const WindowRole& Role() const { return role_; }
  WindowState& State() const { return *state_; }
  CloseSequence& Closing() const { return *closing_; }
  DownloadFlow& Downloads() const { return *downloads_; }
  Dialogs& AuxWindows() const { return *dialogs_; }
  QWebEngineView* View() const { return view_; }
  BrowserPage* Page() const;

  // Brings this window in front of the others (a second start of our role asked for it).
  void BringToFront();
  // A notice to this role that is not an activation (the debug request 0x8490).
  void OnRoleNotice(quint32 message, quint32 wParam, quint32 lParam);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void BuildEngine();
  void BuildParts();
  void StartConnecting();
  void TakeUpEarlyReports();
  void FirstShow();
  void OnBrowserCreated();
  void LayOutLoadingPanel();
  void OpenServerPage(const std::string& address);
  void OnConnected();
  void ChangeServer();
  void ApplyAppTitle();
  void AlignFloatButton();
  void OnApplicationState(Qt::ApplicationState state);

  // PageCommandTarget
  void SwitchFullScreen() override;
  void FullScreenOn() override;
  void FullScreenOff() override;
  void ShowPageText(const std::string& pageAddress, const std::string& text) override;
  void CloseWindow() override { close(); }
  void SetCanClose(bool canClose) override;
  void Minimize() override;
  void SetLoginParams(const std::string& params) override;
  QPoint ClientOrigin() const override;

  const CommandLine commandLine_;
  const WindowRole role_;
  std::unique_ptr<TUserPrompts> prompts_;
  std::unique_ptr<TDesktopServices> desktopServices_;  // device manager and videos
  std::unique_ptr<ServerConnection> connection_;
  std::unique_ptr<BrowserEngine> engine_;
  std::unique_ptr<Dialogs> dialogs_;
  std::optional<std::string> startError_;  // a start address that cannot be read, shown later
  bool shownOnce_ = false;

  // Parts owned through Qt's parent chain.
  QWidget* browserArea_ = nullptr;
  QWebEngineView* view_ = nullptr;
  StatusBar* statusBar_ = nullptr;
  LoadingPanel* loadingPanel_ = nullptr;
  WindowState* state_ = nullptr;
  CloseSequence* closing_ = nullptr;
  SecondaryScreen* secondary_ = nullptr;
  PageLoadWatch* loadWatch_ = nullptr;
  CrashRecovery* crashRecovery_ = nullptr;
  DownloadFlow* downloads_ = nullptr;
  PageCommandRunner* commands_ = nullptr;
};

}  // namespace zent
