#include "connection/DisconnectNotice.h"

#include <httplib.h>

#include "common/Format.h"

namespace zent {
namespace {

std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

// Bytes that may not stand in a request target are percent-escaped; "%" and the delimiters
// stay as the stored path has them.
std::string EscapeTarget(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool unsafe = c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
                        c == '^' || c == '`' || c == '{' || c == '|' || c == '}' || c == '#';
    if (unsafe) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

std::string TDisconnectNotice::Url() const {
  return Format("http://%s:%d%s", host.c_str(), static_cast<int>(port), target.c_str());
}

std::optional<TDisconnectNotice> DisconnectNoticeFor(const ServerConfig& config) {
  TDisconnectNotice notice;
  notice.host = Trimmed(config.host);
  if (notice.host.empty()) return std::nullopt;
  notice.port = config.port;
  // The base is ".../<path>" without its last "/", so a stored "lumo7/" gives "/lumo7".
  std::string path = "/" + config.url;
  if (path.back() == '/') path.pop_back();
  notice.target = EscapeTarget(path + kDisconnectPath);
  return notice;
}

std::string HeaderSafeValue(std::string_view value) {
  std::string out(value);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) ch = ' ';
  }
  return out;
}

std::optional<int> SendDisconnectNotice(const TDisconnectNotice& notice, const std::string& osid,
                                        const std::string& params, std::string& error,
                                        TDisconnectTimeouts timeouts) {
  try {
    httplib::Client client(notice.host, notice.port);
    client.set_connection_timeout(timeouts.connect);
    client.set_read_timeout(timeouts.read);
    client.set_write_timeout(timeouts.read);
    const httplib::Headers headers{{"OSID", HeaderSafeValue(osid)}, {"Params", HeaderSafeValue(params)}};
    // The answer says nothing we act on; a large one is not kept.
    auto res = client.Get(notice.target, headers, [](const char*, size_t) { return true; });
    if (!res) {
      error = httplib::to_string(res.error());
      return std::nullopt;
    }
    return res->status;
  } catch (const std::exception& e) {
    error = e.what();
    return std::nullopt;
  }
}

}  // namespace zent
