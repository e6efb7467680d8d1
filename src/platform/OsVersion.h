// The operating system's version as "major.minor" (Linux: the kernel release, e.g. "6.1").
// Contract: never throws; "0.0" when it cannot be read.
#pragma once

#include <string>

namespace zent::platform {

std::string OsMajorMinorVersion();

}  // namespace zent::platform
