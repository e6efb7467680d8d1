#include "browser/engine/StartAddress.h"

#include <QString>
#include <QUrl>

#include "browser/QtText.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/TextFill.h"
#include "connection/ServerConnection.h"
#include "lang/Translate.h"
#include "netcheck/NetCheck.h"

namespace zent {

TStartAddress ChooseStartAddress(const std::string& paramUrl, const std::string& hostText,
                                 const ServerConfig& config) {
  TStartAddress start;
  if (!paramUrl.empty()) {
    start.source = StartSource::ParamUrl;
    start.logLine = "ParamURL: " + paramUrl;
    const QUrl url(ToQt(paramUrl), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
      throw EUriError(FillText(Translate("无效的地址: %s"), paramUrl));
    }
    start.uri.host = FromQt(url.host());
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

std::optional<std::string> BeginConnection(ServerConnection& connection, const CommandLine& commandLine) {
  bool fixHost = ReadFixHost(false);
  const std::string hostText = commandLine.Ip().value_or(std::string());
  const std::string paramUrl = commandLine.Url().value_or(std::string());
  if (commandLine.Ip() || commandLine.Url()) fixHost = true;
  try {
    const TStartAddress start = ChooseStartAddress(paramUrl, hostText, ReadServerConfig());
    AppLog().Log(1, start.logLine);
    if (!start.watchHost.empty()) SetNetCheckServer(start.watchHost, start.watchPort);
    connection.Begin(start.uri, fixHost);
    // The page loads without a view: the first navigation need not wait for the window.
    connection.BrowserReady();
    return std::nullopt;
  } catch (const std::exception& e) {
    AppLog().Log(std::string(), e);
    return std::string(e.what());
  }
}

}  // namespace zent
