// Closing the window. The page may refuse it (the close query then tells the operator
// why). The main instance hides at once and hands the disconnect notice, and the secondary
// screen's close, to the connection's worker; the window really closes, and the program
// ends, once that is done.
#pragma once

#include <QObject>
#include <functional>
#include <string>

class QCloseEvent;
class QWidget;

namespace zent {

class ServerConnection;
class TUserPrompts;

class CloseSequence : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void()> closing;         // the close query passed
    std::function<void()> hidden;          // the window hid for the notice
    std::function<void()> closeSubScreen;  // runs on the connection's worker and waits
  };
  CloseSequence(QWidget* window, TUserPrompts& prompts, ServerConnection& connection, std::string osid,
                bool noticeOnClose, Hooks hooks);

  // Page commands refuse and allow closing; the close query reads it.
  void SetCanClose(bool value) { canClose_ = value; }
  bool CanClose() const { return canClose_; }
  // The page's login parameters, sent with the disconnect notice.
  void SetLoginParams(const std::string& params) { loginParams_ = params; }
  // True while the window hides for the notice or is gone.
  bool IsClosing() const { return stage_ != Stage::Open; }

  // The window's close event: accepted only when the window may really go now.
  void OnCloseEvent(QCloseEvent* event);

 private:
  bool CloseQuery();
  void BeginNotice();
  void Finish();

  enum class Stage { Open, Notice, Done };
  QWidget* window_;
  TUserPrompts& prompts_;
  ServerConnection& connection_;
  std::string osid_;
  bool noticeOnClose_;
  Hooks hooks_;
  bool canClose_ = true;
  std::string loginParams_ = "{}";
  Stage stage_ = Stage::Open;
};

}  // namespace zent
