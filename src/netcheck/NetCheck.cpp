#include "netcheck/NetCheck.h"

#include <charconv>
#include <memory>
#include <mutex>

#include "common/FileLog.h"
#include "common/Format.h"
#include "common/ProfileFile.h"
#include "platform/Text.h"

namespace zent {

namespace {

struct NetCheckModule {
  std::mutex mutex;  // guards the fields below; never held while the checker is joined
  std::shared_ptr<TFileLog> log;
  std::unique_ptr<TPortCheck> checker;
  std::string serverHost;
  uint16_t serverPort = 0;
  ~NetCheckModule() { checker.reset(); }  // a forgotten checker is still stopped and joined
};

NetCheckModule& Module() {
  static NetCheckModule module;
  return module;
}

void Watch(TPortCheck& checker, const std::optional<TNetCheckEndpoint>& endpoint) {
  if (endpoint) checker.Add(endpoint->host, endpoint->port, kNetCheckTimeOutMs);
}

void ReadEndpoint(const ProfileFile& file, std::string_view key, std::optional<TNetCheckEndpoint>& target) {
  const std::string kMissing = "\x01";  // stands for a missing key: no host name is this byte
  const std::string text = file.ReadString("NetCheck", key, kMissing);
  if (text == kMissing) return;
  if (text.empty()) {
    target.reset();
    return;
  }
  if (auto endpoint = ParseNetCheckEndpoint(text)) {
    target = std::move(endpoint);
  } else {
    AppLog().Log(1, Format("NetCheck %s: \"%s\" is no host[:port]; the default is watched",
                           std::string(key).c_str(), text.c_str()));
  }
}

}  // namespace

std::optional<TNetCheckEndpoint> ParseNetCheckEndpoint(std::string_view text) {
  TNetCheckEndpoint endpoint;
  const size_t colon = text.rfind(':');
  std::string_view host = text.substr(0, colon);
  if (colon != std::string_view::npos) {
    const std::string_view digits = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
      return std::nullopt;
    }
    endpoint.port = static_cast<uint16_t>(port);
  }
  if (host.empty() || host.find_first_of(" \t:") != std::string_view::npos) return std::nullopt;
  endpoint.host = std::string(host);
  return endpoint;
}

TNetCheckTargets ReadNetCheckTargets(const std::string& runOptionsFile) {
  TNetCheckTargets targets;
  const ProfileFile file(runOptionsFile);
  ReadEndpoint(file, "PublicSite", targets.publicSite);
  ReadEndpoint(file, "CloudApi", targets.cloudApi);
  return targets;
}

void StartNetCheck(const TNetCheckTargets& targets) {
  NetCheckModule& m = Module();
  std::lock_guard lock(m.mutex);
  if (m.checker) return;
  try {
    if (!m.log) {
      m.log = std::make_shared<TFileLog>("NetCheck", "", "", TFileLogOptions{floNoIndex}, flsDay, flsDay);
    }
    m.checker = std::make_unique<TPortCheck>(LogPortState);
  } catch (const std::exception& e) {
    AppLog().Log("StartNetCheck: ", e);
    return;
  }
  Watch(*m.checker, targets.publicSite);
  Watch(*m.checker, targets.cloudApi);
  if (!m.serverHost.empty()) m.checker->Add(m.serverHost, m.serverPort, kNetCheckTimeOutMs);
}

void SetNetCheckServer(const std::string& host, uint16_t port) {
  NetCheckModule& m = Module();
  std::lock_guard lock(m.mutex);
  if (platform::EqualsNoCase(host, m.serverHost) && port == m.serverPort) return;
  if (m.checker && !m.serverHost.empty()) m.checker->Remove(m.serverHost, m.serverPort);
  m.serverHost = host;
  m.serverPort = port;
  if (m.checker && !host.empty()) m.checker->Add(host, port, kNetCheckTimeOutMs);
}

void LogPortState(TPortCheck&, const std::string& host, TPortStatus status, uint16_t port,
                  const std::string& address) {
  std::shared_ptr<TFileLog> log;
  {
    std::lock_guard lock(Module().mutex);
    log = Module().log;
  }
  if (log) log->LogFmt(0, "%s:%d - %s - %s", host.c_str(), port, address.c_str(), PortStatusText(status));
}

void FinalizeNetCheck() {
  NetCheckModule& m = Module();
  std::unique_ptr<TPortCheck> checker;
  {
    std::lock_guard lock(m.mutex);
    checker = std::move(m.checker);
  }
  checker.reset();  // joined outside the lock: its callback takes the lock too
  std::shared_ptr<TFileLog> log;
  std::lock_guard lock(m.mutex);
  log = std::move(m.log);
  m.serverHost.clear();
  m.serverPort = 0;
}

}  // namespace zent
