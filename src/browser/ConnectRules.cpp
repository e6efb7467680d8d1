#include "browser/ConnectRules.h"

#include <QString>
#include <QUrl>

#include "common/TextFill.h"
#include "common/Format.h"
#include "discovery/NetUtils.h"
#include "lang/Translate.h"

namespace zent {
namespace {

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

bool SameHost(const std::string& a, const std::string& b) { return SameTextIgnoringCase(a, b); }

bool IsHostUnusable(const std::string& host) {
  if (host.empty()) return true;
  return IsIPAddress(host) != 0 && !IsUsableIP(host);
}

TServerUri ServerUriFromReply(const TReplyData& reply) {
  TServerUri uri;
  uri.Set(reply.STomcatIp, reply.STomcatPort, reply.SUrl);
  return uri;
}

bool SameServer(const TServerUri& uri, const TReplyData& reply) {
  // The answer's path comes without the leading "/" the address adds when it is set.
  const TServerUri answer = ServerUriFromReply(reply);
  return SameHost(uri.host, answer.host) && uri.port == answer.port &&
         SameTextIgnoringCase(uri.path, answer.path);
}

TStartAddress ChooseStartAddress(const std::string& paramUrl, const std::string& hostText,
                                 const ServerConfig& config) {
  TStartAddress start;
  if (!paramUrl.empty()) {
    start.source = StartSource::ParamUrl;
    start.logLine = "ParamURL: " + paramUrl;
    const QUrl url(QString::fromStdString(paramUrl), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
      throw EUriError(FillText(Translate("无效的地址: %s"), paramUrl));
    }
    start.uri.host = url.host().toStdString();
    start.watchHost = start.uri.host;
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    start.watchPort = static_cast<uint16_t>(url.port(defaultPort));
  } else if (!hostText.empty()) {
    start.source = StartSource::ParamHost;
    start.logLine = "ParamHost: " + hostText;
    start.uri.host = hostText;
  } else {
    start.source = StartSource::Config;
    start.logLine = Format("Conofig: %s:%d", config.host.c_str(), static_cast<int>(config.port));
    start.uri.Set(config.host, config.port, config.url);
  }
  return start;
}

}  // namespace zent
