// X11InputWindow: an input-only top-level window on the X server the application runs on.
// Such a window has no pixels at all, so it shows nothing with or without a compositor, yet
// the server delivers the pointer's button events over its area. It is override-redirect:
// the window manager neither frames it nor gives it the focus, and it stays above the
// managed windows. Its events are read through the application's native event filter.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct xcb_connection_t;

namespace zent {

class X11InputWindow : public QAbstractNativeEventFilter {
 public:
  // The window, unmapped; nullptr when the application does not run on X11.
  static std::unique_ptr<X11InputWindow> Create(const QRect& geometry, const std::string& name);
  // Only Create can make the key.
  class Key {
    friend class X11InputWindow;
    Key() = default;
  };
  X11InputWindow(Key, xcb_connection_t* connection, uint32_t window, const QRect& geometry);
  ~X11InputWindow() override;
  X11InputWindow(const X11InputWindow&) = delete;
  X11InputWindow& operator=(const X11InputWindow&) = delete;

  void SetGeometry(const QRect& geometry);  // in the toolkit's screen coordinates
  QRect Geometry() const { return geometry_; }
  void Map();  // also raises it above the other windows
  void Unmap();
  bool IsMapped() const { return mapped_; }
  uint32_t Id() const { return window_; }

  // Called (inside the event filter, on the application's thread) for the release of a
  // pointer button over the window; wheel steps are not button releases and are left out.
  std::function<void(int button)> onButtonRelease;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  void Configure();

  xcb_connection_t* connection_;
  uint32_t window_;
  QRect geometry_;
  bool mapped_ = false;
};

// The root window of the screen the application's display names (screen 0 unless DISPLAY
// says otherwise); 0 when there is none.
uint32_t X11RootWindow(xcb_connection_t* connection);
// The application's X connection, or nullptr when it does not run on X11.
xcb_connection_t* X11Connection();

}  // namespace zent
