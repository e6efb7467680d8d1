// A build without TLS: the update service is reached over plain HTTP, and an https address
// is refused with a text that says why (cpp-httplib would only throw "scheme not supported").
#include <httplib.h>

#include "update/HttpOpen.h"
#include "update/HttpTls.h"

namespace zent {

void RequireScheme(const std::string& scheme, const std::string& url) {
  if (scheme != "http") throw EHttpError("此版本的升级只支持http，不支持https[" + url + "]");
}

void SetTlsFloor(httplib::Client&) {}

}  // namespace zent
