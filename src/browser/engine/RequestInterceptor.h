// The engine's hook on every request before it is sent. Runs on the engine's network
// thread: it only reads a snapshot of the rules and never blocks.
#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <memory>

#include "browser/rules/RequestRules.h"

namespace zent {

// The vendor address standing for a request to the host "home", keeping its path and query.
QUrl HomeRedirectTarget(const QUrl& requestUrl);

class RequestInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
 public:
  RequestInterceptor(std::shared_ptr<const TRequestRules> rules, QObject* parent = nullptr);
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

 private:
  std::shared_ptr<const TRequestRules> rules_;
};

}  // namespace zent
