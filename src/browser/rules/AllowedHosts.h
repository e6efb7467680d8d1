// Where the page may navigate: the run options' [Kiosk] AllowedHosts list (hosts separated by
// commas or blanks). Empty or absent, every host is allowed as before. Otherwise a web address
// is allowed when its host is the server's or one of the list, compared without case and
// exactly: "shop.example.com" does not allow "example.com" nor "a.shop.example.com"; an entry
// "*.example.com" allows every name below example.com (not example.com itself). A till's own
// pages stay reachable whatever the list says, since the server's host always counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zent {

class TAllowedHosts {
 public:
  TAllowedHosts() = default;
  explicit TAllowedHosts(std::string_view list);

  // False: no list, everything is allowed.
  bool Restricts() const { return !exact_.empty() || !below_.empty(); }
  // `host` as the address names it (an IPv6 address with or without brackets).
  bool Allows(std::string_view host, std::string_view serverHost) const;

 private:
  std::vector<std::string> exact_;  // lower case, no brackets
  std::vector<std::string> below_;  // ".example.com" for "*.example.com"
};

// The list as the run-options file of `fileName` holds it ([Kiosk] AllowedHosts).
TAllowedHosts ReadAllowedHosts(const std::string& runOptionsFile);

}  // namespace zent
