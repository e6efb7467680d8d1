// X11 through xcb: a process's window is the managed (or, with no window manager, top-level)
// window whose _NET_WM_PID is the process's and which is mapped; leaving the taskbar is the
// _NET_WM_STATE request every EWMH window manager honours for a mapped window.
#include "platform/DesktopWindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zent::platform {
namespace {

template <typename T>
struct FreeReply {
  void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply<T>>;

}  // namespace

class DesktopWindows::Connection {
 public:
  Connection() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) return;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
    clientList_ = Atom("_NET_CLIENT_LIST");
    wmPid_ = Atom("_NET_WM_PID");
    wmState_ = Atom("_NET_WM_STATE");
    skipTaskbar_ = Atom("_NET_WM_STATE_SKIP_TASKBAR");
  }
  ~Connection() { xcb_disconnect(connection_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  std::optional<uint32_t> FindShownWindow(uint32_t pid) {
    if (!Usable()) return std::nullopt;
    for (xcb_window_t w : Candidates()) {
      if (PidOf(w) == pid && IsViewable(w)) return w;
    }
    return std::nullopt;
  }

  bool SkipTaskbar(uint32_t window) {
    if (!Usable() || skipTaskbar_ == XCB_ATOM_NONE) return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = wmState_;
    event.data.data32[0] = 1;  // add
    event.data.data32[1] = skipTaskbar_;
    event.data.data32[2] = 0;
    event.data.data32[3] = 1;  // from an ordinary application
    const auto cookie = xcb_send_event_checked(
        connection_, 0, root_,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    Reply<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
    return !error;
  }

 private:
  bool Usable() const { return connection_ && !xcb_connection_has_error(connection_) && root_ != 0; }

  xcb_atom_t Atom(const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }

  // The window manager's client list; without one, the top-level windows and their children
  // (a reparenting manager that keeps no list).
  std::vector<xcb_window_t> Candidates() {
    std::vector<xcb_window_t> out;
    Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, clientList_, XCB_ATOM_WINDOW, 0, 65536), nullptr));
    if (list && list->format == 32 && xcb_get_property_value_length(list.get()) > 0) {
      const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
      out.assign(w, w + xcb_get_property_value_length(list.get()) / 4);
      return out;
    }
    for (xcb_window_t top : Children(root_)) {
      out.push_back(top);
      for (xcb_window_t child : Children(top)) out.push_back(child);
    }
    return out;
  }

  std::vector<xcb_window_t> Children(xcb_window_t parent) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr));
    if (!tree) return {};
    const xcb_window_t* c = xcb_query_tree_children(tree.get());
    return {c, c + xcb_query_tree_children_length(tree.get())};
  }

  uint32_t PidOf(xcb_window_t w) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, w, wmPid_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
  }

  bool IsViewable(xcb_window_t w) {
    Reply<xcb_get_window_attributes_reply_t> attrs(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, w), nullptr));
    return attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_atom_t clientList_ = XCB_ATOM_NONE;
  xcb_atom_t wmPid_ = XCB_ATOM_NONE;
  xcb_atom_t wmState_ = XCB_ATOM_NONE;
  xcb_atom_t skipTaskbar_ = XCB_ATOM_NONE;
};

DesktopWindows::DesktopWindows() : connection_(std::make_unique<Connection>()) {}
DesktopWindows::~DesktopWindows() = default;

std::optional<uint32_t> DesktopWindows::FindShownWindow(uint32_t pid) { return connection_->FindShownWindow(pid); }

bool DesktopWindows::SkipTaskbar(uint32_t window) { return connection_->SkipTaskbar(window); }

}  // namespace zent::platform
