#include "browser/StartAddress.h"

#include <QString>
#include <QUrl>

#include "common/Format.h"
#include "common/TextFill.h"
#include "lang/Translate.h"

namespace zent {

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
