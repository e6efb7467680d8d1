#include "browser/rules/RequestRules.h"

namespace zent {

void TRequestRules::Update(std::string serverHost, std::string osid) {
  auto next = std::make_shared<const RequestRuleSnapshot>(
      RequestRuleSnapshot{std::move(serverHost), std::move(osid)});
  std::lock_guard lock(mutex_);
  snapshot_ = std::move(next);
}

std::shared_ptr<const RequestRuleSnapshot> TRequestRules::Snapshot() const {
  std::lock_guard lock(mutex_);
  return snapshot_;
}

RequestAction TRequestRules::Decide(const RequestRuleSnapshot& snapshot, const std::string& host) {
  if (host == "home") return RequestAction::RedirectHome;
  // Exact text comparison, as the address parser gives the host.
  if (!snapshot.serverHost.empty() && host == snapshot.serverHost) return RequestAction::AddOsid;
  return RequestAction::None;
}

}  // namespace zent
