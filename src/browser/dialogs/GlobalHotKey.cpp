#include "browser/dialogs/GlobalHotKey.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "browser/dialogs/X11InputWindow.h"
#include "common/FileLog.h"
#include "platform/X11HotKey.h"
#include "platform/X11Input.h"

namespace zent {

GlobalHotKey::GlobalHotKey(QWidget* window, std::function<void()> handler)
    : QObject(window), handler_(std::move(handler)) {
  if (Grab()) {
    AppLog().Log(0, "HotKey Alt+F12: grabbed for the desktop");
    return;
  }
  // Not reported to the operator: the status-bar image still opens the window.
  fallback_ = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F12), window);  // owned by the window
  fallback_->setContext(Qt::ApplicationShortcut);
  connect(fallback_, &QShortcut::activated, this, [this] { handler_(); });
  AppLog().Log(0, "HotKey Alt+F12: no desktop grab, a shortcut of the program's windows instead");
}

GlobalHotKey::~GlobalHotKey() { Ungrab(); }

bool GlobalHotKey::Grab() {
  connection_ = ToolkitX11Connection();
  if (!connection_) return false;
  auto grab = platform::GrabAltKey(connection_, platform::X11RootWindow(connection_), platform::kKeysymF12);
  if (!grab) return false;
  grab_ = std::make_unique<platform::X11KeyGrab>(std::move(*grab));
  QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

void GlobalHotKey::Ungrab() {
  if (!grab_) return;
  auto* app = QCoreApplication::instance();
  if (app) app->removeNativeEventFilter(this);
  // Without the application its connection is gone, and the grabs with it.
  if (app && ToolkitX11Connection() == connection_) platform::ReleaseAltKey(connection_, *grab_);
  grab_.reset();
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != platform::kX11NativeEventType || !grab_) return false;
  const auto match = platform::MatchAltKey(*grab_, message);
  if (match == platform::X11KeyMatch::Pressed) {
    QMetaObject::invokeMethod(this, [this] { handler_(); }, Qt::QueuedConnection);
  }
  return match != platform::X11KeyMatch::Other;
}

}  // namespace zent
