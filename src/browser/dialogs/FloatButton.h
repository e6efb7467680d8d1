// FloatButton: the nearly invisible 65 x 65 window over the top-left corner of the browser
// area. Four taps on it within five seconds show the notice "退出全屏状态！" and then run its
// restore action (the main window leaves full screen). Only the main instance has one
// (owned by its Dialogs). The tap rule and its watcher live in extras/; this is the window
// side.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>
#include <string>

namespace zent {

inline constexpr const char* kFloatButtonCaption = "frmFloatButton";
inline constexpr const char* kFloatButtonNoticeCaption = "提示";
inline constexpr const char* kFloatButtonNotice = "退出全屏状态！";

// Where the button draws nothing and takes the pointer's button releases.
class FloatSurface {
 public:
  virtual ~FloatSurface() = default;
  virtual void SetGeometry(const QRect& geometry) = 0;
  virtual QRect Geometry() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
  // "x11-input-only" or "widget", for the log and the tests.
  virtual const char* Kind() const = 0;
  // No pointer over the surface from now on.
  virtual void HidePointer() = 0;
};

class FloatButton : public QObject {
  Q_OBJECT
 public:
  static constexpr int kSize = 65;
  using NoticeBox = std::function<void(const std::string& caption, const std::string& text)>;

  FloatButton();
  ~FloatButton() override;

  // Runs after the fourth tap, once the notice is closed; empty: nothing.
  void SetRestoreAction(std::function<void()> handler) { restore_ = std::move(handler); }
  // Shows the notice; empty: the toolkit's message box.
  void SetNoticeBox(NoticeBox box) { notice_ = std::move(box); }

  void MoveTo(const QPoint& topLeft);
  // Left edge at the point's x + 10, top edge at its y; shows the window when hidden.
  void PlaceAt(const QPoint& screenPoint);
  void Show();
  void Hide();
  bool IsVisible() const;
  QRect Geometry() const;
  const char* SurfaceKind() const;
  // No pointer shows over the button (the hidden-pointer option).
  void HidePointer();

 public slots:
  // The release of any mouse button over the window, whatever the modifier keys.
  void OnRelease();

 private:
  std::unique_ptr<FloatSurface> surface_;
  std::function<void()> restore_;
  NoticeBox notice_;
};

}  // namespace zent
