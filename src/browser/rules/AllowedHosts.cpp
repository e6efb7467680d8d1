#include "browser/rules/AllowedHosts.h"

#include <algorithm>

#include "common/ProfileFile.h"

namespace zent {
namespace {

// Lower case (ASCII), without the brackets of an IPv6 address and a final dot.
std::string Normal(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  std::string out(host);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

TAllowedHosts::TAllowedHosts(std::string_view list) {
  size_t at = 0;
  while (at < list.size()) {
    const size_t end = std::min(list.find_first_of(", \t", at), list.size());
    const std::string_view entry = list.substr(at, end - at);
    at = end + 1;
    if (entry.empty()) continue;
    if (entry.size() > 2 && entry.substr(0, 2) == "*.") {
      below_.push_back(Normal(entry.substr(1)));
    } else if (entry != "*.") {
      exact_.push_back(Normal(entry));
    }
  }
}

bool TAllowedHosts::Allows(std::string_view host, std::string_view serverHost) const {
  if (!Restricts()) return true;
  const std::string h = Normal(host);
  if (h.empty()) return false;
  if (!serverHost.empty() && h == Normal(serverHost)) return true;
  if (std::find(exact_.begin(), exact_.end(), h) != exact_.end()) return true;
  return std::any_of(below_.begin(), below_.end(), [&](const std::string& suffix) {
    return h.size() > suffix.size() && h.compare(h.size() - suffix.size(), suffix.size(), suffix) == 0;
  });
}

TAllowedHosts ReadAllowedHosts(const std::string& runOptionsFile) {
  return TAllowedHosts(ProfileFile(runOptionsFile).ReadString("Kiosk", "AllowedHosts", ""));
}

}  // namespace zent
