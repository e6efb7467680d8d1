#include "browser/engine/EngineSetup.h"

#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "browser/QtText.h"
#include "common/FileLog.h"
#include "platform/NetAdapters.h"
#include "platform/Process.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

std::string& UserAgentSetting() {
  static std::string userAgent;
  return userAgent;
}

}  // namespace

const char* EngineSwitches() {
  return "--ignore-certificate-errors --disable-web-security --disable-background-networking "
         "--disable-component-update --disable-domain-reliability --no-pings --disable-breakpad "
         "--disable-pinch";
}

void PrepareEngineBeforeApplication() {
  std::string flags;
  if (const auto current = platform::EnvironmentValue("QTWEBENGINE_CHROMIUM_FLAGS"); current && !current->empty()) {
    flags = *current + " ";
  }
  flags += EngineSwitches();
  // Read by the engine when the application starts; without it the kiosk's switches are lost.
  if (auto ec = platform::SetEnvironmentValue("QTWEBENGINE_CHROMIUM_FLAGS", flags))
    AppLog().Log(2, "QTWEBENGINE_CHROMIUM_FLAGS: " + platform::ErrorText(ec));
  // The engine's widgets share one GL context with the application; it must be said first.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

std::string EngineUserAgent() {
  std::vector<platform::NetAdapter> adapters;
  if (platform::ListNetAdapters(true, adapters)) return {};
  if (adapters.empty()) return {};
  return platform::MacText(adapters.front().mac);
}

void SetEngineUserAgent(const std::string& userAgent) { UserAgentSetting() = userAgent; }

void ConfigureProfile(QWebEngineProfile& profile) {
  if (!UserAgentSetting().empty()) profile.setHttpUserAgent(ToQt(UserAgentSetting()));
  profile.setHttpAcceptLanguage(QString::fromLatin1(kAcceptLanguages));
  auto* settings = profile.settings();
  settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
  settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
}

}  // namespace zent
