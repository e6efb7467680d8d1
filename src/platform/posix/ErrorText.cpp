// POSIX: the library's message is already in the program's (UTF-8) locale texts.
#include "platform/ErrorText.h"

namespace zent::platform {

std::string ErrorText(const std::error_code& ec) { return ec.message(); }

}  // namespace zent::platform
