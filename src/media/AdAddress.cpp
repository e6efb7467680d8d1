#include "media/AdAddress.h"

#include "common/Format.h"
#include "platform/Text.h"

namespace zent {

std::string AdVideoAddress(const std::string& url, const std::string& host, int32_t port) {
  constexpr std::string_view kHttp = "http://";
  if (url.size() >= kHttp.size() && platform::EqualsNoCase(std::string_view(url).substr(0, kHttp.size()), kHttp)) {
    return url;
  }
  const std::string path = url.starts_with('/') ? url : "/" + url;
  return Format("http://%s:%d%s", host.c_str(), port, path.c_str());
}

}  // namespace zent
