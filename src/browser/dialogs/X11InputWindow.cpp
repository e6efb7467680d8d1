#include "browser/dialogs/X11InputWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include "platform/X11Input.h"

namespace zent {
namespace {

// The toolkit's coordinates scaled to the server's pixels.
platform::X11Rect ToNative(const QRect& r) {
  const QScreen* screen = QGuiApplication::screenAt(r.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
  return {qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio), qRound(r.height() * ratio)};
}

}  // namespace

platform::X11Connection* ToolkitX11Connection() {
  auto* app = qGuiApp;
  if (!app) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

std::unique_ptr<X11InputWindow> X11InputWindow::Create(const QRect& geometry, const std::string& name) {
  platform::X11Connection* c = ToolkitX11Connection();
  if (!c) return nullptr;
  const uint32_t root = platform::X11RootWindow(c);
  if (!root) return nullptr;
  const uint32_t window = platform::CreateInputOnlyWindow(c, root, ToNative(geometry), name);
  if (!window) return nullptr;
  auto result = std::make_unique<X11InputWindow>(Key(), c, window, geometry);
  QCoreApplication::instance()->installNativeEventFilter(result.get());
  return result;
}

X11InputWindow::X11InputWindow(Key, platform::X11Connection* connection, uint32_t window, const QRect& geometry)
    : connection_(connection), window_(window), geometry_(geometry) {}

X11InputWindow::~X11InputWindow() {
  // Without the application its connection is gone, and the window with it.
  auto* app = QCoreApplication::instance();
  if (!app || ToolkitX11Connection() != connection_) return;
  app->removeNativeEventFilter(this);
  platform::DestroyX11Window(connection_, window_);
}

void X11InputWindow::SetGeometry(const QRect& geometry) {
  geometry_ = geometry;
  platform::MoveX11Window(connection_, window_, ToNative(geometry_));
}

void X11InputWindow::Map() {
  platform::MapX11WindowRaised(connection_, window_);
  mapped_ = true;
}

void X11InputWindow::Unmap() {
  platform::UnmapX11Window(connection_, window_);
  mapped_ = false;
}

void X11InputWindow::HidePointer() { platform::SetBlankX11Cursor(connection_, window_); }

bool X11InputWindow::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != platform::kX11NativeEventType) return false;
  const auto button = platform::ReadX11ButtonEvent(message);
  if (!button || button->window != window_) return false;
  // Buttons 4 to 7 are the wheel's steps.
  const bool wheel = button->button >= 4 && button->button <= 7;
  if (button->release && !wheel && onButtonRelease) onButtonRelease(button->button);
  return true;
}

}  // namespace zent
