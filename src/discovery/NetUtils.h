// Network helpers for discovery: the adapters and their IPv4 addresses, the default
// gateway, the local address on the gateway's subnet, address tests that decide whether a
// configured server address can be used directly, name resolution and the ICMP echo probe.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zent {

struct TIP {
  std::string IP;    // dotted IPv4
  std::string Mask;  // dotted IPv4
};

struct TNetAdapter {
  std::string Name;     // the adapter's description (on Linux the interface name)
  std::string ClassID;  // the adapter's system name (on Linux the interface name)
  std::string Mac;      // "00-1A-2B-3C-4D-5E"
  std::vector<TIP> IPList;

  bool IsInvalid() const { return ClassID.empty() || Mac.empty() || IPList.empty(); }
};

// Limits of a listing: adapters per listing, addresses per adapter.
inline constexpr size_t kMaxAdapters = 255;
inline constexpr size_t kMaxAdapterAddresses = 255;

// Adapters in the order the system lists them. Throws EOSError when the system's adapter
// information cannot be read.
std::vector<TNetAdapter> GetNetAdapters(bool physicalOnly, bool firstOnly);
// True when `adapterName` names a network adapter; with physicalOnly, a physical one.
bool IsPhysicalAdapter(const std::string& adapterName, bool physicalOnly = true);
// The default gateway as "a.b.c.d", or "0.0.0.0" when there is none. Never throws.
std::string GetDefaultGateway();
// Finds the first adapter address on the same subnet as `ip` (address AND mask equal),
// skipping addresses and masks of 0.0.0.0 or 255.255.255.255. Never throws.
bool FindAdapterForIP(const std::string& ip, bool physicalOnly, TNetAdapter& adapter, int& index);

// 1 for an IPv4 address, 2 for an IPv6 address, 0 otherwise.
int IsIPAddress(std::string_view text);
// True for an IPv4 address not beginning "0.", not ending ".0" and not containing "255";
// true for an IPv6 address; false for anything else.
bool IsUsableIP(std::string_view text);

inline constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;
// A dotted address or host name as an IPv4 address in network order; kInaddrNone when it
// does not resolve.
uint32_t ResolveHost(const std::string& host);

// The 56-byte echo request: type 8, code 0, the RFC 1071 checksum, `identifier`, sequence 1.
std::array<uint8_t, 56> BuildEchoRequest(uint16_t identifier);
uint16_t InternetChecksum(std::span<const uint8_t> data);
// True when an ICMP echo reply from the host arrives within 1000 ms.
bool Ping(const std::string& host);

}  // namespace zent
