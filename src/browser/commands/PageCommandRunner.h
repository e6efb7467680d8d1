// The page command channel on the window's side: every console message of the page is read
// as a command (rules/ConsoleCommand.h) and carried out on a later turn of the window's
// loop, in the order the page wrote them, never inside the engine's callback.
#pragma once

#include <QObject>
#include <string>

#include "browser/rules/ConsoleCommand.h"
#include "browser/rules/OpenUrlRule.h"

namespace zent {

class BrowserPage;
class PageCommandTarget;
class TDesktopServices;

class PageCommandRunner : public QObject {
  Q_OBJECT
 public:
  // Hooks itself to `page`'s console messages.
  PageCommandRunner(BrowserPage* page, PageCommandTarget& target, TDesktopServices& services,
                    QObject* parent = nullptr);

  void Run(const TPageCommand& command, const std::string& pageAddress);

 private:
  void OnConsoleMessage(const std::string& message);
  void OpenUrl(const std::string& address);

  BrowserPage* page_;
  PageCommandTarget& target_;
  TDesktopServices& services_;
  TOpenerGate openerGate_;
};

}  // namespace zent
