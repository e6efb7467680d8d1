#include "browser/dialogs/HiddenPointer.h"

#include <QCursor>
#include <QGuiApplication>

#include "browser/dialogs/X11InputWindow.h"
#include "common/FileLog.h"
#include "platform/X11Input.h"

namespace zent {

HiddenPointer::HiddenPointer(bool overRoot) {
  // Above every widget's own cursor, the page's included: while an override cursor is set the
  // toolkit applies no other.
  QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
  bool root = false;
  if (overRoot) {
    if (platform::X11Connection* c = ToolkitX11Connection()) {
      if (const uint32_t rootWindow = platform::X11RootWindow(c)) {
        platform::SetBlankX11Cursor(c, rootWindow);
        root = true;
      }
    }
  }
  AppLog().Log(0, root ? "Pointer hidden (windows and screen)" : "Pointer hidden");
}

HiddenPointer::~HiddenPointer() {
  if (QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
}

}  // namespace zent
