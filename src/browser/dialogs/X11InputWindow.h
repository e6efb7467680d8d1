// X11InputWindow: an input-only top-level window on the X server the application runs on
// (platform/X11Input.h), tied to the toolkit: its geometry in the toolkit's coordinates,
// its events read through the application's native event filter. It shows nothing with or
// without a compositor, yet takes the pointer's button events over its area.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/X11Input.h"

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
  X11InputWindow(Key, platform::X11Connection* connection, uint32_t window, const QRect& geometry);
  ~X11InputWindow() override;
  X11InputWindow(const X11InputWindow&) = delete;
  X11InputWindow& operator=(const X11InputWindow&) = delete;

  void SetGeometry(const QRect& geometry);  // in the toolkit's screen coordinates
  QRect Geometry() const { return geometry_; }
  void Map();  // also raises it above the other windows
  void Unmap();
  bool IsMapped() const { return mapped_; }
  // No pointer shows over the window from now on.
  void HidePointer();
  uint32_t Id() const { return window_; }

  // Called (inside the event filter, on the application's thread) for the release of a
  // pointer button over the window; wheel steps are not button releases and are left out.
  std::function<void(int button)> onButtonRelease;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  platform::X11Connection* connection_;
  uint32_t window_;
  QRect geometry_;
  bool mapped_ = false;
};

// The application's X connection, or nullptr when it does not run on X11.
platform::X11Connection* ToolkitX11Connection();

}  // namespace zent
