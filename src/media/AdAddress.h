// The address an advertisement video is played from: a page's address that does not begin
// with "http://" (any case) is a path on the application server.
#pragma once

#include <cstdint>
#include <string>

namespace zent {

// "http://<host>:<port>/<path>" for a server path ("/" put in front unless there), the
// address unchanged when it begins with "http://" in any case.
std::string AdVideoAddress(const std::string& url, const std::string& host, int32_t port);

}  // namespace zent
