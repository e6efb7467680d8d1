// Windows: the default gateway chosen from the routing table's rows. Kept apart from the
// table read so the choice can be fed made-up tables.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace zent::platform::win32 {

struct DefaultRoute {
  uint32_t destination = 0;  // network byte order, as the table gives them
  uint32_t mask = 0;
  uint32_t nextHop = 0;
  uint32_t metric = 0;
};

// The next hop of the default route (destination and mask 0.0.0.0, with a gateway) of the
// lowest metric, as the system itself would route; the earlier row on a tie. nullopt
// without one. An on-link default route (next hop 0.0.0.0) names no gateway and is skipped.
std::optional<uint32_t> BestDefaultGateway(std::span<const DefaultRoute> routes);

}  // namespace zent::platform::win32
