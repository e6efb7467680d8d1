// Traces for a debugger (Linux: one line on standard error).
#pragma once

#include <string_view>

namespace zent::platform {

void OutputDebugString(std::string_view text) noexcept;

}  // namespace zent::platform
