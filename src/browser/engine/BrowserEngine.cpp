#include "browser/engine/BrowserEngine.h"

#include <QWebEngineProfile>

#include "browser/QtText.h"
#include "browser/engine/BrowserPage.h"
#include "browser/engine/EngineSetup.h"
#include "browser/engine/RequestInterceptor.h"
#include "browser/rules/RequestRules.h"
#include "common/FileLog.h"
#include "common/Utils.h"
#include "config/Config.h"

namespace zent {

BrowserEngine::BrowserEngine(std::string osid, QObject* parent)
    : QObject(parent), osid_(std::move(osid)), requestRules_(std::make_shared<TRequestRules>()) {
  requestRules_->Update(std::string(), osid_);
  interceptor_ = std::make_unique<RequestInterceptor>(requestRules_);
  profile_ = std::make_unique<QWebEngineProfile>();
  ConfigureProfile(*profile_);
  profile_->setUrlRequestInterceptor(interceptor_.get());
  page_ = std::make_unique<BrowserPage>(profile_.get(), nullptr);
  page_->SetAllowedHosts(ReadAllowedHosts(RunOptionsFileName(GetAppFileName())));
}

BrowserEngine::~BrowserEngine() {
  // The page must go before the profile it was made with.
  page_.reset();
  profile_.reset();
}

void BrowserEngine::SetServerHost(const std::string& host) {
  requestRules_->Update(host, osid_);
  page_->SetServerHost(host);
}

void BrowserEngine::Load(const QUrl& url) {
  AppLog().Log(0, "LoadURL: " + FromQt(url.toString()));
  page_->load(url);
}

std::string BrowserEngine::CurrentAddress() const { return FromQt(page_->url().toString()); }

}  // namespace zent
