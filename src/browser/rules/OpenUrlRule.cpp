#include "browser/rules/OpenUrlRule.h"

#include "platform/Text.h"

namespace zent {
namespace {

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Characters of the whole address: printable ASCII without blank and backslash, or valid
// UTF-8 beyond ASCII without the C1 controls and the line and paragraph separators.
std::optional<std::string> CharacterRefusal(std::string_view address) {
  size_t pos = 0;
  while (pos < address.size()) {
    const char32_t cp = platform::NextCodePoint(address, pos);
    if (cp == platform::kInvalidUtf8) return "invalid UTF-8";
    if (cp == ' ') return "a blank";
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029)
      return "a control character";
    if (cp == '\\') return "a backslash";
  }
  return std::nullopt;
}

std::optional<std::string> HostRefusal(std::string_view host) {
  if (host.empty()) return "no host";
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return "an unclosed IPv6 address";
    for (char c : host.substr(1, host.size() - 2)) {
      if (!IsHex(c) && c != ':' && c != '.') return "an invalid IPv6 address";
    }
    return std::nullopt;
  }
  // A name (internationalised names may come unencoded), an IPv4 address, or an encoded name.
  for (char c : host) {
    const bool nonAscii = static_cast<unsigned char>(c) >= 0x80;
    if (!nonAscii && !IsAsciiAlnum(c) && c != '-' && c != '.' && c != '_' && c != '%')
      return "an invalid host";
  }
  return std::nullopt;
}

std::optional<std::string> PortRefusal(std::string_view port) {
  if (port.empty() || port.size() > 5) return "an invalid port";
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return "an invalid port";
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return "an invalid port";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> OpenUrlRefusal(std::string_view address) {
  if (address.size() > kMaxOpenUrlLength) return "longer than " + std::to_string(kMaxOpenUrlLength) + " bytes";
  size_t schemeLength = 0;
  if (StartsWithNoCase(address, "https://")) {
    schemeLength = 8;
  } else if (StartsWithNoCase(address, "http://")) {
    schemeLength = 7;
  } else {
    return "not an http or https address";
  }
  if (auto refusal = CharacterRefusal(address)) return "contains " + *refusal;
  const std::string_view rest = address.substr(schemeLength);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (authority.find('@') != std::string_view::npos) return "carries a user name";
  std::string_view host = authority;
  // The port follows the last colon, unless that colon is inside an IPv6 address.
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
    if (auto refusal = PortRefusal(authority.substr(colon + 1))) return "has " + *refusal;
    host = authority.substr(0, colon);
  }
  if (auto refusal = HostRefusal(host)) return "has " + *refusal;
  return std::nullopt;
}

std::string OpenUrlForLog(std::string_view address) {
  constexpr size_t kMaxLogged = 512;
  std::string out;
  size_t pos = 0;
  while (pos < address.size() && pos < kMaxLogged) {
    const size_t start = pos;
    const char32_t cp = platform::NextCodePoint(address, pos);
    if (cp != platform::kInvalidUtf8 && cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp <= 0x9F) && cp != 0x2028 &&
        cp != 0x2029) {
      out.append(address.substr(start, pos - start));
      continue;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (size_t i = start; i < pos; ++i) {
      const auto b = static_cast<unsigned char>(address[i]);
      out += "\\x";
      out += kDigits[b >> 4];
      out += kDigits[b & 0xF];
    }
  }
  if (pos < address.size()) out += "...";
  return out;
}

TOpenerGate::TVerdict TOpenerGate::OnRequest(Clock::time_point now) {
  if (!lastStart_ || now - *lastStart_ >= interval_) {
    lastStart_ = now;
    dropLogged_ = false;
    return TVerdict::Start;
  }
  if (dropLogged_) return TVerdict::Drop;
  dropLogged_ = true;
  return TVerdict::DropFirst;
}

}  // namespace zent
