// The machine's system log, for programs that run without a log folder of their own (the
// privileged update helper). Where the machine keeps no system log the line is dropped.
// Contract: nothing throws and nothing fails visibly.
#pragma once

#include <string_view>

namespace zent::platform {

// Writes one line to the system log under `ident` (the first call's ident is kept).
void WriteSystemLog(std::string_view ident, std::string_view line) noexcept;

}  // namespace zent::platform
