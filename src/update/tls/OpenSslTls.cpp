// https through OpenSSL (cpp-httplib's TLS support): TLS 1.2 or newer.
#include <httplib.h>
#include <openssl/ssl.h>

#include "update/HttpOpen.h"
#include "update/HttpTls.h"

namespace zent {

void RequireScheme(const std::string&, const std::string&) {}

void SetTlsFloor(httplib::Client& client) {
  if (SSL_CTX* ctx = client.ssl_context()) SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
}

}  // namespace zent
