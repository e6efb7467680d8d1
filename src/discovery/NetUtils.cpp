#include "discovery/NetUtils.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

#include "common/Errors.h"
#include "common/Format.h"
#include "platform/Net.h"
#include "platform/NetAdapters.h"
#include "platform/NetAddresses.h"
#include "platform/Process.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

constexpr int kPingTimeoutMs = 1000;

// A compiled pattern shared by every thread; each match brings its own match data.
class Pattern {
 public:
  explicit Pattern(const char* pattern) {
    int err = 0;
    PCRE2_SIZE offset = 0;
    code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0,
                              &err, &offset, nullptr));
  }
  bool Matches(std::string_view text) const {
    if (!code_) return false;
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> md(
        pcre2_match_data_create_from_pattern(code_.get(), nullptr), &pcre2_match_data_free);
    if (!md) return false;
    return pcre2_match(code_.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       md.get(), nullptr) >= 0;
  }

 private:
  struct Free {
    void operator()(pcre2_code* c) const { pcre2_code_free(c); }
  };
  std::unique_ptr<pcre2_code, Free> code_;
};

const Pattern& IPv4Pattern() {
  static const Pattern p(
      "^((25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)(\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)){3})$");
  return p;
}

const Pattern& UnusableIPv4Pattern() {
  static const Pattern p("(^0\\.)|(\\.0$)|(255)");
  return p;
}

// An adapter with its IPv4 addresses and masks, in the system's order.
struct Listed {
  platform::NetAdapter adapter;
  std::vector<platform::InterfaceAddress> addresses;
};

std::error_code ListAdapters(bool physicalOnly, std::vector<Listed>& out) {
  std::vector<platform::NetAdapter> adapters;
  if (auto ec = platform::ListNetAdapters(physicalOnly, adapters)) return ec;
  std::vector<platform::InterfaceAddress> addresses;
  if (auto ec = platform::ListIPv4Addresses(addresses)) return ec;
  out.clear();
  for (auto& a : adapters) {
    Listed l{std::move(a), {}};
    for (const auto& addr : addresses) {
      if (addr.interfaceName != l.adapter.name) continue;
      if (l.addresses.size() == kMaxAdapterAddresses) break;
      l.addresses.push_back(addr);
    }
    out.push_back(std::move(l));
  }
  return {};
}

TNetAdapter ToAdapter(const Listed& l) {
  TNetAdapter out;
  out.Name = l.adapter.name;
  out.ClassID = l.adapter.name;
  out.Mac = platform::MacText(l.adapter.mac);
  for (const auto& e : l.addresses) {
    out.IPList.push_back({platform::IPv4Text(e.address), platform::IPv4Text(e.mask)});
  }
  return out;
}

bool IsZeroOrAllOnes(uint32_t a) { return a == 0 || a == 0xFFFFFFFFu; }

}  // namespace

std::vector<TNetAdapter> GetNetAdapters(bool physicalOnly, bool firstOnly) {
  std::vector<Listed> list;
  if (const std::error_code ec = ListAdapters(physicalOnly, list)) {
    throw EOSError(Format("GetNetAdapters: %s", platform::ErrorText(ec).c_str()));
  }
  std::vector<TNetAdapter> out;
  for (const auto& a : list) {
    // More adapters than a listing holds: the rest are left out.
    if (out.size() == kMaxAdapters) break;
    out.push_back(ToAdapter(a));
    if (firstOnly) break;
  }
  return out;
}

bool IsPhysicalAdapter(const std::string& adapterName, bool physicalOnly) {
  return platform::IsNetInterface(adapterName, physicalOnly);
}

std::string GetDefaultGateway() {
  const auto gw = platform::DefaultGatewayIPv4();
  return platform::IPv4Text(gw.value_or(0));
}

bool FindAdapterForIP(const std::string& ip, bool physicalOnly, TNetAdapter& adapter, int& index) {
  const auto target = platform::ParseIPv4(ip);
  if (!target || IsZeroOrAllOnes(*target)) return false;
  std::vector<Listed> list;
  if (ListAdapters(physicalOnly, list)) return false;
  for (size_t n = 0; n < list.size() && n < kMaxAdapters; ++n) {
    const auto& a = list[n];
    for (size_t i = 0; i < a.addresses.size(); ++i) {
      const auto& e = a.addresses[i];
      if (IsZeroOrAllOnes(e.address) || IsZeroOrAllOnes(e.mask)) continue;
      if ((e.address & e.mask) == (*target & e.mask)) {
        adapter = ToAdapter(a);
        index = static_cast<int>(i);
        return true;
      }
    }
  }
  return false;
}

int IsIPAddress(std::string_view text) {
  if (text.empty()) return 0;
  if (IPv4Pattern().Matches(text)) return 1;
  if (platform::IsIPv6Text(text)) return 2;
  return 0;
}

bool IsUsableIP(std::string_view text) {
  switch (IsIPAddress(text)) {
    case 1: return !UnusableIPv4Pattern().Matches(text);
    case 2: return true;
    default: return false;
  }
}

uint32_t ResolveHost(const std::string& host) {
  return platform::ResolveIPv4(host).value_or(kInaddrNone);
}

uint16_t InternetChecksum(std::span<const uint8_t> data) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < data.size(); i += 2) sum += static_cast<uint32_t>(data[i]) << 8 | data[i + 1];
  if (i < data.size()) sum += static_cast<uint32_t>(data[i]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::array<uint8_t, 56> BuildEchoRequest(uint16_t identifier) {
  std::array<uint8_t, 56> r{};
  r[0] = 8;  // echo request
  r[1] = 0;
  r[4] = static_cast<uint8_t>(identifier);
  r[5] = static_cast<uint8_t>(identifier >> 8);
  r[6] = 1;  // sequence, as a little-endian word of 1
  r[7] = 0;
  const uint16_t sum = InternetChecksum(r);
  r[2] = static_cast<uint8_t>(sum >> 8);
  r[3] = static_cast<uint8_t>(sum);
  return r;
}

bool Ping(const std::string& host) {
  const uint32_t address = ResolveHost(host);
  if (address == kInaddrNone) return false;
  const auto request = BuildEchoRequest(static_cast<uint16_t>(platform::CurrentThreadId()));
  return platform::IcmpEcho(address, request, kPingTimeoutMs);
}

}  // namespace zent
