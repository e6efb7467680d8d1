// The update transfers' encryption, chosen by the build (src/CMakeLists.txt picks one file of
// update/tls/): with OpenSSL, https is carried out with TLS 1.2 or newer; a build without it
// (Windows, whose update service is reached over plain HTTP) refuses https addresses with a
// clear text before any connection is made.
#pragma once

#include <string>

namespace httplib {
class Client;
}

namespace zent {

// Throws EHttpError when this build cannot carry out `scheme` ("http" or "https") for `url`.
void RequireScheme(const std::string& scheme, const std::string& url);

// Sets an https client's lowest TLS version; nothing for plain HTTP.
void SetTlsFloor(httplib::Client& client);

}  // namespace zent
