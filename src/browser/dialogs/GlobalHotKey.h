// GlobalHotKey: Alt+F12 for the whole desktop. On X11 the key is grabbed on the root window
// (platform/X11HotKey.h), so it works whichever window has the focus; where the grab is
// refused (another program holds it) or there is no X11, a shortcut of the program's own
// windows stands in. Exactly Alt: with other modifiers (Ctrl+Alt+F12) nothing happens; Num
// Lock and Caps Lock do not matter.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>
#include <memory>

#include "platform/X11Input.h"

class QShortcut;
class QWidget;

namespace zent {

namespace platform {
struct X11KeyGrab;
}

class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT
 public:
  // `handler` runs on `window`'s thread, outside the event filter.
  GlobalHotKey(QWidget* window, std::function<void()> handler);
  ~GlobalHotKey() override;

  // True when the desktop-wide grab holds; false when the shortcut stands in.
  bool IsDesktopWide() const { return grab_ != nullptr; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  bool Grab();
  void Ungrab();

  std::function<void()> handler_;
  platform::X11Connection* connection_ = nullptr;
  std::unique_ptr<platform::X11KeyGrab> grab_;
  QShortcut* fallback_ = nullptr;  // owned by the window
};

}  // namespace zent
