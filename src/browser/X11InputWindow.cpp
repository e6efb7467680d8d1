#include "browser/X11InputWindow.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cstdlib>
#include <cstring>

namespace zent {
namespace {

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
  auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                        &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The toolkit's coordinates scaled to the server's pixels.
QRect ToNative(const QRect& r) {
  const QScreen* screen = QGuiApplication::screenAt(r.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
  return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
               qRound(r.height() * ratio));
}

}  // namespace

xcb_connection_t* X11Connection() {
  auto* app = qGuiApp;
  if (!app) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

uint32_t X11RootWindow(xcb_connection_t* connection) {
  int screenNumber = 0;
  if (const char* display = std::getenv("DISPLAY")) {
    // ":N.S" names screen S; anything unreadable keeps screen 0.
    if (const char* dot = std::strrchr(display, '.'); dot && std::strchr(display, ':') < dot) {
      char* end = nullptr;
      const long n = std::strtol(dot + 1, &end, 10);
      if (end != dot + 1 && *end == '\0' && n >= 0 && n < 256) screenNumber = static_cast<int>(n);
    }
  }
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
  return it.rem ? it.data->root : 0;
}

std::unique_ptr<X11InputWindow> X11InputWindow::Create(const QRect& geometry, const std::string& name) {
  xcb_connection_t* c = X11Connection();
  if (!c) return nullptr;
  const uint32_t root = X11RootWindow(c);
  if (!root) return nullptr;
  const QRect native = ToNative(geometry);
  const xcb_window_t window = xcb_generate_id(c);
  // Values in the order of their mask bits.
  const uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
  // The press is selected too: its implicit grab brings the release to this window rather
  // than to whoever listens on the root.
  auto cookie = xcb_create_window_checked(
      c, 0, window, root, static_cast<int16_t>(native.x()), static_cast<int16_t>(native.y()),
      static_cast<uint16_t>(native.width()), static_cast<uint16_t>(native.height()), 0,
      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
      values);
  if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
    std::free(error);
    return nullptr;
  }
  // A name and the owning process, so the window can be told apart from outside.
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(name.size()), name.data());
  if (const xcb_atom_t netName = InternAtom(c, "_NET_WM_NAME"), utf8 = InternAtom(c, "UTF8_STRING");
      netName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netName, utf8, 8,
                        static_cast<uint32_t>(name.size()), name.data());
  }
  if (const xcb_atom_t pidAtom = InternAtom(c, "_NET_WM_PID"); pidAtom != XCB_ATOM_NONE) {
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
  }
  xcb_flush(c);
  auto result = std::make_unique<X11InputWindow>(Key(), c, window, geometry);
  QCoreApplication::instance()->installNativeEventFilter(result.get());
  return result;
}

X11InputWindow::X11InputWindow(Key, xcb_connection_t* connection, uint32_t window, const QRect& geometry)
    : connection_(connection), window_(window), geometry_(geometry) {}

X11InputWindow::~X11InputWindow() {
  // Without the application its connection is gone, and the window with it.
  auto* app = QCoreApplication::instance();
  if (!app || X11Connection() != connection_) return;
  app->removeNativeEventFilter(this);
  xcb_destroy_window(connection_, window_);
  xcb_flush(connection_);
}

void X11InputWindow::Configure() {
  const QRect native = ToNative(geometry_);
  const uint32_t values[] = {static_cast<uint32_t>(native.x()), static_cast<uint32_t>(native.y()),
                             static_cast<uint32_t>(native.width()), static_cast<uint32_t>(native.height())};
  xcb_configure_window(connection_, window_,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                       values);
}

void X11InputWindow::SetGeometry(const QRect& geometry) {
  geometry_ = geometry;
  Configure();
  xcb_flush(connection_);
}

void X11InputWindow::Map() {
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_map_window(connection_, window_);
  xcb_flush(connection_);
  mapped_ = true;
}

void X11InputWindow::Unmap() {
  xcb_unmap_window(connection_, window_);
  xcb_flush(connection_);
  mapped_ = false;
}

bool X11InputWindow::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & 0x7f;
  if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE) return false;
  // Press and release share one layout.
  const auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
  if (button->event != window_) return false;
  // Buttons 4 to 7 are the wheel's steps.
  const bool wheel = button->detail >= 4 && button->detail <= 7;
  if (type == XCB_BUTTON_RELEASE && !wheel && onButtonRelease) onButtonRelease(button->detail);
  return true;
}

}  // namespace zent
