#include "browser/engine/RequestInterceptor.h"

#include "browser/QtText.h"


namespace zent {

QUrl HomeRedirectTarget(const QUrl& requestUrl) {
  QUrl target(QString::fromLatin1(kVendorHomeAddress));
  const QString path = requestUrl.path(QUrl::FullyEncoded);
  if (!path.isEmpty() && path != QLatin1String("/")) target.setPath(path, QUrl::StrictMode);
  if (requestUrl.hasQuery()) target.setQuery(requestUrl.query(QUrl::FullyEncoded), QUrl::StrictMode);
  return target;
}

RequestInterceptor::RequestInterceptor(std::shared_ptr<const TRequestRules> rules, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), rules_(std::move(rules)) {}

void RequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
  const QUrl url = info.requestUrl();
  // An address without a host (data:, about:, a broken one) is left alone.
  if (!url.isValid() || url.host().isEmpty()) return;
  const auto snapshot = rules_->Snapshot();
  switch (TRequestRules::Decide(*snapshot, FromQt(url.host()))) {
    case RequestAction::RedirectHome:
      info.redirect(HomeRedirectTarget(url));
      break;
    case RequestAction::AddOsid:
      // setHttpHeader replaces a header of the same name, so exactly one "OSID" is sent.
      info.setHttpHeader("OSID", QByteArray::fromStdString(snapshot->osid));
      break;
    case RequestAction::None:
      break;
  }
}

}  // namespace zent
