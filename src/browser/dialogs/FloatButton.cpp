#include "browser/dialogs/FloatButton.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWidget>

#include "browser/dialogs/X11InputWindow.h"
#include "common/FileLog.h"
#include "extras/FloatBtnTaps.h"

namespace zent {
namespace {

// On X11: an input-only window, which has no pixels, so nothing shows with or without a
// compositor. A window that paints transparently would show black (or stale screen) where no
// compositor blends it, and an empty shape would take no clicks either.
class X11Surface : public FloatSurface {
 public:
  explicit X11Surface(std::unique_ptr<X11InputWindow> window) : window_(std::move(window)) {}
  void SetGeometry(const QRect& geometry) override { window_->SetGeometry(geometry); }
  QRect Geometry() const override { return window_->Geometry(); }
  void SetVisible(bool visible) override { visible ? window_->Map() : window_->Unmap(); }
  bool IsVisible() const override { return window_->IsMapped(); }
  const char* Kind() const override { return "x11-input-only"; }
  void HidePointer() override { window_->HidePointer(); }
  X11InputWindow& Window() { return *window_; }

 private:
  std::unique_ptr<X11InputWindow> window_;
};

// Elsewhere: a frameless stay-on-top window blended at 1/255, which a compositing desktop
// shows as practically nothing while it still takes clicks.
class FloatWidget : public QWidget {
 public:
  explicit FloatWidget(std::function<void()> onRelease)
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus),
        onRelease_(std::move(onRelease)) {
    setObjectName(QString::fromUtf8(kFloatButtonCaption));
    setWindowTitle(QString::fromUtf8(kFloatButtonCaption));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowOpacity(1.0 / 255.0);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    event->accept();
    if (onRelease_) onRelease_();
  }

 private:
  std::function<void()> onRelease_;
};

class WidgetSurface : public FloatSurface {
 public:
  explicit WidgetSurface(std::function<void()> onRelease)
      : widget_(std::make_unique<FloatWidget>(std::move(onRelease))) {}
  ~WidgetSurface() override {
    // A widget cannot be freed once the application object has gone; the process is
    // ending then and takes it along.
    if (!QCoreApplication::instance()) (void)widget_.release();
  }
  void SetGeometry(const QRect& geometry) override { widget_->setGeometry(geometry); }
  QRect Geometry() const override { return widget_->geometry(); }
  void SetVisible(bool visible) override { widget_->setVisible(visible); }
  bool IsVisible() const override { return widget_->isVisible(); }
  const char* Kind() const override { return "widget"; }
  // The application's override cursor covers widgets already.
  void HidePointer() override {}

 private:
  std::unique_ptr<FloatWidget> widget_;
};

}  // namespace

FloatButton::FloatButton() {
  const QRect geometry(0, 0, kSize, kSize);
  // Handled after the event that brought it, never inside the event filter: the notice
  // runs a nested event loop.
  auto queueTap = [this] { QMetaObject::invokeMethod(this, &FloatButton::OnRelease, Qt::QueuedConnection); };
  if (auto window = X11InputWindow::Create(geometry, kFloatButtonCaption)) {
    window->onButtonRelease = [queueTap](int) { queueTap(); };
    surface_ = std::make_unique<X11Surface>(std::move(window));
  } else {
    surface_ = std::make_unique<WidgetSurface>(queueTap);
    surface_->SetGeometry(geometry);
  }
  AppLog().Log(0, std::string("FloatButton: ") + surface_->Kind());
}

FloatButton::~FloatButton() = default;

void FloatButton::MoveTo(const QPoint& topLeft) { surface_->SetGeometry(QRect(topLeft, QSize(kSize, kSize))); }

void FloatButton::Show() { surface_->SetVisible(true); }

void FloatButton::Hide() { surface_->SetVisible(false); }

bool FloatButton::IsVisible() const { return surface_->IsVisible(); }

QRect FloatButton::Geometry() const { return surface_->Geometry(); }

const char* FloatButton::SurfaceKind() const { return surface_->Kind(); }

void FloatButton::HidePointer() { surface_->HidePointer(); }

void FloatButton::OnRelease() {
  if (!CountTap()) {
    RestartTapWatch();
    return;
  }
  AppLog().Log(0, "FloatButton: four taps");
  // Shown as written: these two texts are not translated.
  if (notice_) {
    notice_(kFloatButtonNoticeCaption, kFloatButtonNotice);
  } else {
    QMessageBox::information(nullptr, QString::fromUtf8(kFloatButtonNoticeCaption),
                             QString::fromUtf8(kFloatButtonNotice), QMessageBox::Ok);
  }
  if (restore_) restore_();
}

void FloatButton::PlaceAt(const QPoint& screenPoint) {
  MoveTo(QPoint(screenPoint.x() + 10, screenPoint.y()));
  if (!IsVisible()) Show();
}

}  // namespace zent
