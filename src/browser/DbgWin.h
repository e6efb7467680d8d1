// TfrmDbgWin: the debug window, which shows the browser's developer tools docked in it. It
// exists only in debug mode, is created hidden once the browser exists, and lives until the
// process ends; closing only hides it. Each showing opens the developer tools afresh, each
// closing closes them.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace zent {

inline constexpr const char* kDebugWindowCaption = "调试窗口";

class TfrmDbgWin : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmDbgWin(QWebEnginePage* browser);
  ~TfrmDbgWin() override;

  QWebEngineView* DevTools = nullptr;  // fills the client area; owned by the window
  QPointer<QWebEnginePage> FCRM;       // the browser whose developer tools are shown

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void PlaceOnMainWindow();

  std::unique_ptr<QWebEngineProfile> profile_;
  std::unique_ptr<QWebEnginePage> devToolsPage_;  // after the profile: it must go first
  bool placed_ = false;
};

// Creates the debug window, hidden, when `browser` is given, `debugMode` is on and there is
// none yet; otherwise does nothing.
void CreateDebugWindow(QWebEnginePage* browser, bool debugMode);
// Shows the debug window (in front) when it exists; otherwise does nothing.
void ShowDebugWindow();
// The debug window, or nullptr.
TfrmDbgWin* DebugWindow();
// Frees the window; call while the application object still exists.
void FinalizeDebugWindow();

}  // namespace zent
