// The rules every request of the page passes before it is sent: the host "home" goes to the
// vendor's web site, and requests to the server's host carry the device identifier in one
// "OSID" header. The engine asks on its own network thread while the window may change the
// server, so the rules read one immutable snapshot that is swapped whole.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "common/Branding.h"

namespace zent {

// The vendor's public web site that the host "home" stands for.
inline constexpr const char* kVendorHomeAddress = kVendorWebAddress;

struct RequestRuleSnapshot {
  std::string serverHost;  // empty: no server yet, nobody gets the header
  std::string osid;
};

enum class RequestAction { None, RedirectHome, AddOsid };

class TRequestRules {
 public:
  // Called on the window's thread when the server or the identifier changes.
  void Update(std::string serverHost, std::string osid);
  std::shared_ptr<const RequestRuleSnapshot> Snapshot() const;

  // Called on the engine's thread for each request's host (as parsed from its address),
  // with the snapshot taken once for that request.
  static RequestAction Decide(const RequestRuleSnapshot& snapshot, const std::string& host);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const RequestRuleSnapshot> snapshot_ = std::make_shared<RequestRuleSnapshot>();
};

}  // namespace zent
