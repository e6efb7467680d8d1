// The system's ANSI code page: GBK (code page 936). Used where the wire or a file
// holds GBK text (discovery datagrams, the update script) and where a limit counts GBK bytes.
#pragma once

#include <string>
#include <string_view>

namespace zent::platform {

// UTF-8 to GBK; a character GBK cannot hold becomes "?". Invalid UTF-8 bytes become "?".
std::string Utf8ToAnsi(std::string_view utf8);
// GBK to UTF-8; an invalid or truncated GBK sequence becomes U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace zent::platform
