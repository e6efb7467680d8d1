#include "support/NetNamespace.h"

#include <cstdlib>
#include <cstring>

namespace zent::testing {

bool InPrivateNetns() {
  const char* v = std::getenv("ZENT_NETNS");
  return v && std::strcmp(v, "1") == 0;
}

}  // namespace zent::testing
