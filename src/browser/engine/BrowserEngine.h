// The engine's objects behind the window: one off-the-record profile with the kiosk's
// settings, the request interceptor with its rules, and the page. The window's view shows
// the page; everything else reaches the engine through here.
#pragma once

#include <QObject>
#include <QUrl>
#include <memory>
#include <string>

class QWebEngineProfile;

namespace zent {

class BrowserPage;
class RequestInterceptor;
class TRequestRules;

class BrowserEngine : public QObject {
  Q_OBJECT
 public:
  // `osid` is the device identifier the server's requests carry.
  BrowserEngine(std::string osid, QObject* parent = nullptr);
  ~BrowserEngine() override;

  BrowserPage* Page() const { return page_.get(); }
  QWebEngineProfile* Profile() const { return profile_.get(); }
  const std::string& Osid() const { return osid_; }

  // The host whose requests carry the identifier; empty: none yet.
  void SetServerHost(const std::string& host);
  // Loads `url` in the page (logged as "LoadURL").
  void Load(const QUrl& url);
  // The page's current address as text.
  std::string CurrentAddress() const;

 private:
  std::string osid_;
  std::shared_ptr<TRequestRules> requestRules_;
  std::unique_ptr<RequestInterceptor> interceptor_;
  std::unique_ptr<QWebEngineProfile> profile_;
  std::unique_ptr<BrowserPage> page_;  // after the profile: it must go first
};

}  // namespace zent
