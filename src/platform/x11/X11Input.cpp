// Input-only windows through xcb.
#include "platform/X11Input.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zent::platform {
namespace {

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
  auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                        &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// ":N.S" names screen S; anything unreadable keeps screen 0.
int ScreenNumberFromDisplay() {
  const char* display = std::getenv("DISPLAY");
  if (!display) return 0;
  const char* dot = std::strrchr(display, '.');
  if (!dot || std::strchr(display, ':') >= dot) return 0;
  char* end = nullptr;
  const long n = std::strtol(dot + 1, &end, 10);
  return end != dot + 1 && *end == '\0' && n >= 0 && n < 256 ? static_cast<int>(n) : 0;
}

// A name and the owning process, so the window can be told apart from outside.
void NameWindow(xcb_connection_t* c, xcb_window_t window, const std::string& name) {
  const auto length = static_cast<uint32_t>(name.size());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, length, name.data());
  if (const xcb_atom_t netName = InternAtom(c, "_NET_WM_NAME"), utf8 = InternAtom(c, "UTF8_STRING");
      netName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netName, utf8, 8, length, name.data());
  }
  if (const xcb_atom_t pidAtom = InternAtom(c, "_NET_WM_PID"); pidAtom != XCB_ATOM_NONE) {
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
  }
}

}  // namespace

uint32_t X11RootWindow(xcb_connection_t* connection) {
  const int screenNumber = ScreenNumberFromDisplay();
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
  return it.rem ? it.data->root : 0;
}

uint32_t CreateInputOnlyWindow(xcb_connection_t* c, uint32_t root, const X11Rect& r, const std::string& name) {
  const xcb_window_t window = xcb_generate_id(c);
  // Values in the order of their mask bits. The press is selected too: its implicit grab
  // brings the release to this window rather than to whoever listens on the root.
  const uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
  auto cookie = xcb_create_window_checked(
      c, 0, window, root, static_cast<int16_t>(r.x), static_cast<int16_t>(r.y), static_cast<uint16_t>(r.width),
      static_cast<uint16_t>(r.height), 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
    std::free(error);
    return 0;
  }
  NameWindow(c, window, name);
  xcb_flush(c);
  return window;
}

void DestroyX11Window(xcb_connection_t* c, uint32_t window) {
  xcb_destroy_window(c, window);
  xcb_flush(c);
}

void MoveX11Window(xcb_connection_t* c, uint32_t window, const X11Rect& r) {
  const uint32_t values[] = {static_cast<uint32_t>(r.x), static_cast<uint32_t>(r.y), static_cast<uint32_t>(r.width),
                             static_cast<uint32_t>(r.height)};
  xcb_configure_window(c, window,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                       values);
  xcb_flush(c);
}

void MapX11WindowRaised(xcb_connection_t* c, uint32_t window) {
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_map_window(c, window);
  xcb_flush(c);
}

void UnmapX11Window(xcb_connection_t* c, uint32_t window) {
  xcb_unmap_window(c, window);
  xcb_flush(c);
}

void SetBlankX11Cursor(xcb_connection_t* c, uint32_t window) {
  // A 1 x 1 bitmap cleared to 0 serves as image and mask: every pixel of the cursor is
  // transparent. A new pixmap's content is undefined, hence the fill.
  const xcb_pixmap_t bitmap = xcb_generate_id(c);
  xcb_create_pixmap(c, 1, bitmap, window, 1, 1);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t foreground = 0;
  xcb_create_gc(c, gc, bitmap, XCB_GC_FOREGROUND, &foreground);
  const xcb_rectangle_t all{0, 0, 1, 1};
  xcb_poly_fill_rectangle(c, bitmap, gc, 1, &all);
  const xcb_cursor_t cursor = xcb_generate_id(c);
  xcb_create_cursor(c, cursor, bitmap, bitmap, 0, 0, 0, 0, 0, 0, 0, 0);
  xcb_change_window_attributes(c, window, XCB_CW_CURSOR, &cursor);
  // The window holds its own reference to the cursor.
  xcb_free_cursor(c, cursor);
  xcb_free_gc(c, gc);
  xcb_free_pixmap(c, bitmap);
  xcb_flush(c);
}

std::optional<X11ButtonEvent> ReadX11ButtonEvent(const void* message) {
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & 0x7f;
  if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE) return std::nullopt;
  // Press and release share one layout.
  const auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
  return X11ButtonEvent{button->event, button->detail, type == XCB_BUTTON_RELEASE};
}

}  // namespace zent::platform
