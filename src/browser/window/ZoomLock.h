// Keeps a view's page at zoom 1: a till's layout is made for its screen, and a zoomed page
// hides buttons the person cannot get back. Ctrl+wheel, Ctrl with + - = 0 (main keys and
// keypad) and zoom gestures are taken away from the view's input widgets (the engine's
// widget behind the view, replaced when its renderer is) before the engine sees them, and
// the zoom factor is set back to 1 after every load. Pinch zoom of touch screens is off
// through the engine's switches (engine/EngineSetup.h).
#pragma once

#include <QObject>

class QWebEngineView;

namespace zent {

class ZoomLock : public QObject {
  Q_OBJECT
 public:
  // Lives as long as the view (its child); follows the view's page when it is replaced.
  explicit ZoomLock(QWebEngineView* view);

  // True for the input events that would change a page's zoom.
  static bool IsZoomInput(const QEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QObject* object);
  void PinPage();

  QWebEngineView* view_;
};

}  // namespace zent
