// Ends the page's renderer when it stops answering (a script loop), so the crash recovery
// reloads the page. Every tick a probe runs in an isolated script world, answered
// asynchronously; rules/RendererHangRule.h decides. Nothing here waits: the probe's answer
// comes back through the event loop and the renderer is ended with a signal.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "browser/rules/RendererHangRule.h"

namespace zent {

class BrowserPage;

class RendererWatchdog : public QObject {
  Q_OBJECT
 public:
  // While `paused` says so (the window is closing) no probe is sent and nothing is ended.
  RendererWatchdog(BrowserPage& page, std::function<bool()> paused, QObject* parent = nullptr);

 private:
  void OnTick();
  void Probe();
  void EndRenderer();

  BrowserPage& page_;
  std::function<bool()> paused_;
  TRendererHangRule rule_;
  QTimer timer_;
};

}  // namespace zent
