// Input-only windows on an X server: windows without pixels that still receive the pointer's
// button events over their area (the floating restore button needs nothing else). They are
// override-redirect, so the window manager neither frames nor focuses them.
// Contract: the caller owns the connection (the toolkit's) and the window ids made here;
// nothing throws; a refused request comes back as 0 or nullopt. Coordinates are the
// server's pixels. Every change is flushed before the call returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace zent::platform {

// The toolkit's connection to the X server, as every X11 call here takes it.
using X11Connection = xcb_connection_t;
// The type name the toolkit's native event filter gives an X11 event.
inline constexpr char kX11NativeEventType[] = "xcb_generic_event_t";

struct X11Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The root window of the screen the display name in DISPLAY picks (screen 0 unless it says
// ":N.S"); 0 when the connection has no such screen.
uint32_t X11RootWindow(xcb_connection_t* connection);

// A new unmapped input-only window over `rect` on `root`, named `name` (WM_NAME and
// _NET_WM_NAME) and carrying this process's id (_NET_WM_PID); 0 when the server refused it.
uint32_t CreateInputOnlyWindow(xcb_connection_t* connection, uint32_t root, const X11Rect& rect,
                               const std::string& name);
void DestroyX11Window(xcb_connection_t* connection, uint32_t window);
void MoveX11Window(xcb_connection_t* connection, uint32_t window, const X11Rect& rect);
// Maps the window above every other one.
void MapX11WindowRaised(xcb_connection_t* connection, uint32_t window);
void UnmapX11Window(xcb_connection_t* connection, uint32_t window);
// Gives `window` (an input-only one or the root) a cursor without pixels: no pointer shows
// over it nor over its children that name no cursor of their own. The window keeps the
// cursor after this connection ends (the root's lasts for the X session).
void SetBlankX11Cursor(xcb_connection_t* connection, uint32_t window);

// A pointer button event read from one of the server's events.
struct X11ButtonEvent {
  uint32_t window = 0;
  int button = 0;       // 1..3 the buttons, 4..7 the wheel's steps
  bool release = false;
};

// The button press or release `event` (an xcb_generic_event_t from the toolkit's native
// event filter) carries; nullopt for every other kind of event.
std::optional<X11ButtonEvent> ReadX11ButtonEvent(const void* event);

}  // namespace zent::platform
