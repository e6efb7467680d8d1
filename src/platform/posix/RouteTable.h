// Linux: the default gateway as /proc/net/route lists it. Kept apart from the file read so
// the parser can be fed fixtures and hostile text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zent::platform::posix {

// The gateway of the first row whose destination is 00000000, in network byte order. The
// kernel prints each address as a host-order (little-endian) 32-bit hex number, so the
// lowest-addressed byte is the number's low byte. Malformed rows are skipped.
std::optional<uint32_t> ParseDefaultGateway(std::string_view table);

}  // namespace zent::platform::posix
