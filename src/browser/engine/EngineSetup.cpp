#include "browser/engine/EngineSetup.h"

#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <cstdlib>

#include "browser/QtText.h"
#include "platform/NetAdapters.h"

namespace zent {
namespace {

std::string& UserAgentSetting() {
  static std::string userAgent;
  return userAgent;
}

}  // namespace

const char* EngineSwitches() {
  return "--ignore-certificate-errors --disable-web-security --disable-background-networking "
         "--disable-component-update --disable-domain-reliability --no-pings --disable-breakpad";
}

void PrepareEngineBeforeApplication() {
  std::string flags;
  if (const char* current = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"); current && *current) {
    flags = std::string(current) + " ";
  }
  flags += EngineSwitches();
  ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
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
