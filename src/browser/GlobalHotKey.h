// GlobalHotKey: Alt+F12 for the whole desktop. On X11 the key is grabbed on the root window,
// so it works whichever window has the focus; where the grab is refused (another program
// holds it) or there is no X11, a shortcut of the program's own windows stands in. Exactly
// Alt: with other modifiers (Ctrl+Alt+F12) nothing happens; Num Lock and Caps Lock do not
// matter.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

class QShortcut;
class QWidget;

struct xcb_connection_t;

namespace zent {

class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT
 public:
  // `handler` runs on `window`'s thread, outside the event filter.
  GlobalHotKey(QWidget* window, std::function<void()> handler);
  ~GlobalHotKey() override;

  // True when the desktop-wide grab holds; false when the shortcut stands in.
  bool IsDesktopWide() const { return !grabbed_.empty(); }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  bool Grab();
  void Ungrab();
  void Fire();

  std::function<void()> handler_;
  xcb_connection_t* connection_ = nullptr;
  uint32_t root_ = 0;
  uint8_t keycode_ = 0;
  uint16_t altMask_ = 0;
  uint16_t ignoredMask_ = 0;          // Caps Lock and Num Lock
  std::vector<uint16_t> grabbed_;     // the modifier sets held
  QShortcut* fallback_ = nullptr;     // owned by the window
};

}  // namespace zent
