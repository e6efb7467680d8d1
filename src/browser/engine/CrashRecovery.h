// Recovery from a dying renderer: the page is reloaded after the pause the crash policy
// names (the page the server was showing, else the server's start page), one reload at a
// time; a load of the page that starts meanwhile makes it unneeded. A renderer that ends
// normally is left alone.
#pragma once

#include <QObject>
#include <QWebEnginePage>

#include "browser/rules/RendererCrashPolicy.h"

namespace zent {

class BrowserEngine;
class ServerConnection;

class CrashRecovery : public QObject {
  Q_OBJECT
 public:
  CrashRecovery(BrowserEngine& engine, ServerConnection& connection, QObject* parent = nullptr);

  // A reload after a crash is planned: the page's next load comes from here.
  bool ReloadPlanned() const { return policy_.ReloadPlanned(); }

 private:
  void OnRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
  void ReloadAfterCrash();

  BrowserEngine& engine_;
  ServerConnection& connection_;
  TRendererCrashPolicy policy_;
};

}  // namespace zent
