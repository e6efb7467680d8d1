// Watches the page's main-frame loads: each end is logged ("LoadEnd"/"LoadError") and put
// to the load-end rules, whose actions are carried out here (a retry, the connection's
// retry timer, the flag script) or reported (the server page is up). A load broken by a
// renderer that died is left alone here when the crash recovery plans the page's reload.
#pragma once

#include <QObject>
#include <functional>

#include "browser/rules/LoadEndRules.h"

class QWebEngineLoadingInfo;

namespace zent {

class BrowserEngine;
class ServerConnection;

// How a main-frame load ended, in the load-end rules' terms.
LoadEnd LoadEndOf(const QWebEngineLoadingInfo& info);

class PageLoadWatch : public QObject {
  Q_OBJECT
 public:
  PageLoadWatch(BrowserEngine& engine, ServerConnection& connection, bool secondary,
                std::function<void()> onConnected, std::function<bool()> crashReloadPlanned,
                QObject* parent = nullptr);

 private:
  void OnLoadingChanged(const QWebEngineLoadingInfo& info);

  BrowserEngine& engine_;
  ServerConnection& connection_;
  bool secondary_;
  std::function<void()> onConnected_;
  std::function<bool()> crashReloadPlanned_;
  TLoadEndRules rules_;
};

}  // namespace zent
