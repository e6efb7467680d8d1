#include "browser/window/ZoomLock.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

namespace zent {

ZoomLock::ZoomLock(QWebEngineView* view) : QObject(view), view_(view) {
  Watch(view_);
  for (QObject* child : view_->findChildren<QObject*>()) Watch(child);
  PinPage();
  connect(view_, &QWebEngineView::loadFinished, this, [this] { PinPage(); });
  connect(view_, &QWebEngineView::urlChanged, this, [this] { PinPage(); });
}

bool ZoomLock::IsZoomInput(const QEvent* event) {
  switch (event->type()) {
    case QEvent::Wheel:
      return static_cast<const QWheelEvent*>(event)->modifiers() & Qt::ControlModifier;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
      const auto* key = static_cast<const QKeyEvent*>(event);
      if (!(key->modifiers() & Qt::ControlModifier)) return false;
      switch (key->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Minus:
        case Qt::Key_Equal:
        case Qt::Key_0:
        case Qt::Key_Underscore: return true;
        default: return false;
      }
    }
    case QEvent::NativeGesture: {
      const auto type = static_cast<const QNativeGestureEvent*>(event)->gestureType();
      return type == Qt::ZoomNativeGesture || type == Qt::SmartZoomNativeGesture;
    }
    default: return false;
  }
}

bool ZoomLock::eventFilter(QObject* watched, QEvent* event) {
  // The engine's input widget comes and goes with its renderer: watch each new child.
  if (event->type() == QEvent::ChildAdded) Watch(static_cast<QChildEvent*>(event)->child());
  if (IsZoomInput(event)) {
    event->accept();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void ZoomLock::Watch(QObject* object) {
  // Installing twice would filter twice; removing first keeps it once.
  object->removeEventFilter(this);
  object->installEventFilter(this);
}

void ZoomLock::PinPage() {
  if (QWebEnginePage* page = view_->page(); page && page->zoomFactor() != 1.0) page->setZoomFactor(1.0);
}

}  // namespace zent
