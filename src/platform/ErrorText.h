// The text of a system error, in UTF-8 like every other text of ours. The standard library's
// own message is in the system's narrow encoding, which on Windows is the ANSI code page
// (GBK on a Chinese till): written into a UTF-8 log or error text it would be garbage there.
// Contract: no failure; an error the system has no text for gives its number.
#pragma once

#include <string>
#include <system_error>

namespace zent::platform {

std::string ErrorText(const std::error_code& ec);

}  // namespace zent::platform
