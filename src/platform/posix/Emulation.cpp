#include "platform/Emulation.h"

namespace zent::platform {

bool RunningUnderWine() noexcept { return false; }

}  // namespace zent::platform
