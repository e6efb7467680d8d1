#include "netcheck/NetPort.h"

#include <algorithm>
#include <exception>

#include "common/FileLog.h"
#include "platform/TcpProbe.h"

namespace zent {

namespace {

constexpr uint32_t kUnresolved = 0xFFFFFFFFu;  // shown for a host that does not resolve

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const char* PortStatusText(TPortStatus status) {
  switch (status) {
    case PS_UNCHECK: return "未检测";
    case PS_OK: return "正常";
    case PS_UNCONNECTED: return "无法连接";
    case PS_UNKNOW: return "未知";
  }
  return "未知";
}

std::string PortCheckKey(const std::string& host, uint16_t port) {
  std::string key = host + ":" + std::to_string(port);
  std::transform(key.begin(), key.end(), key.begin(), AsciiUpper);
  return key;
}

TPortStatus ConnectTest(uint32_t address, uint16_t port, uint32_t timeoutMs,
                        const platform::WakeEvent* cancel) {
  switch (platform::TcpConnectTest(address, port, timeoutMs, cancel)) {
    case platform::ConnectResult::kConnected: return PS_OK;
    case platform::ConnectResult::kUnconnected: return PS_UNCONNECTED;
    case platform::ConnectResult::kError:
    case platform::ConnectResult::kCancelled: return PS_UNCHECK;
  }
  return PS_UNCHECK;
}

TPortCheck::TPortCheck(TPortStateChangeEvent onChange, TPortCheckTiming timing)
    : FOnChange(std::move(onChange)),
      timing_(timing),
      thread_([this](std::stop_token st) { Execute(st); }) {}

TPortCheck::~TPortCheck() {
  thread_.request_stop();  // the stop callback raises cancel_ and the pause wakes by itself
  if (thread_.joinable()) thread_.join();
}

void TPortCheck::Add(const std::string& AHost, uint16_t APort, uint16_t ATimeOut) {
  auto item = std::make_unique<TCheckItem>();
  item->Key = PortCheckKey(AHost, APort);
  item->Host = AHost;
  item->Port = APort;
  item->TimeOut = ATimeOut;
  item->NextCheckTS = std::chrono::steady_clock::now();
  std::unique_lock lock(FSCItem);
  const bool known = std::any_of(FItems.begin(), FItems.end(),
                                 [&](const auto& i) { return i->Key == item->Key; });
  if (!known) FItems.push_back(std::move(item));
}

void TPortCheck::Remove(const std::string& AHost, uint16_t APort) {
  const std::string key = PortCheckKey(AHost, APort);
  std::unique_lock lock(FSCItem);
  std::erase_if(FItems, [&](const auto& i) { return i->Key == key; });
}

TPortStatus TPortCheck::PortState(const std::string& AHost, uint16_t APort) const {
  const std::string key = PortCheckKey(AHost, APort);
  std::shared_lock lock(FSCItem);
  for (const auto& i : FItems) {
    if (i->Key == key) return i->Status;
  }
  return PS_UNKNOW;
}

bool TPortCheck::Pause(const std::stop_token& stop, std::chrono::steady_clock::duration d) {
  std::unique_lock lock(pauseMutex_);
  pauseWake_.wait_for(lock, stop, d, [] { return false; });
  return !stop.stop_requested();
}

void TPortCheck::Execute(std::stop_token stop) {
  // A stop must also end a name lookup or a connection attempt in progress.
  std::stop_callback onStop(stop, [this] { cancel_.Signal(); });
  while (!stop.stop_requested()) {
    // Passes are timed from start to start; a pass longer than the interval is followed
    // by the next one at once.
    const auto nextPass = std::chrono::steady_clock::now() + timing_.passInterval;
    RunPass(stop);
    if (!Pause(stop, nextPass - std::chrono::steady_clock::now())) break;
  }
}

void TPortCheck::RunPass(const std::stop_token& stop) {
  std::vector<TCheckItem> items;
  {
    std::shared_lock lock(FSCItem);
    items.reserve(FItems.size());
    for (const auto& i : FItems) items.push_back(*i);
  }
  for (const TCheckItem& item : items) {
    if (!Pause(stop, timing_.itemGap)) return;
    // Resolved anew in every pass: the name may point elsewhere by now.
    const auto address = platform::ResolveIPv4Cancellable(item.Host, cancel_);
    if (stop.stop_requested()) return;
    // An unresolved host is not tried at the broadcast address; it simply cannot be reached.
    const TPortStatus status = address ? ConnectTest(*address, item.Port, item.TimeOut, &cancel_)
                                       : PS_UNCONNECTED;
    if (stop.stop_requested()) return;
    if (status == item.Status) continue;
    bool live = false;
    {
      std::unique_lock lock(FSCItem);
      for (auto& i : FItems) {
        if (i->Key == item.Key) {
          i->Status = status;
          live = true;
          break;
        }
      }
    }
    if (!live || !FOnChange) continue;  // removed while it was being tried
    try {
      FOnChange(*this, item.Host, status, item.Port, platform::IPv4Text(address.value_or(kUnresolved)));
    } catch (const std::exception& e) {
      // A failing report must not end the watch for the rest of the process.
      AppLog().Log("TPortCheck.OnChange: ", e);
    }
  }
}

}  // namespace zent
