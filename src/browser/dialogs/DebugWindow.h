// DebugWindow: the debug window, which shows the browser's developer tools docked in it. It
// exists only in debug mode, is created hidden once the browser exists, and lives as long as
// the main window's Dialogs; closing only hides it. Each showing opens the developer tools afresh, each
// closing closes them.
#pragma once

#include <QPointer>
#include <QWebEnginePage>
#include <QWidget>
#include <memory>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace zent {

inline constexpr const char* kDebugWindowCaption = "调试窗口";

class DebugWindow : public QWidget {
  Q_OBJECT
 public:
  explicit DebugWindow(QWebEnginePage* browser);
  ~DebugWindow() override;

  QWebEngineView* DevToolsView() const { return devTools_; }
  QWebEnginePage* InspectedPage() const { return inspected_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildToolsView();
  void OnShown();
  void CloseTools();
  void PlaceOnMainWindow();

  QWebEngineView* devTools_ = nullptr;  // fills the client area; owned by the window
  QPointer<QWebEnginePage> inspected_;  // the browser whose developer tools are shown

  std::unique_ptr<QWebEngineProfile> profile_;
  std::unique_ptr<QWebEnginePage> devToolsPage_;  // after the profile: it must go first
  bool placed_ = false;
};

}  // namespace zent
