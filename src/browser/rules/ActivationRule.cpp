#include "browser/rules/ActivationRule.h"

namespace zent {

bool AcceptActivateNotice(uint32_t wParam, uint32_t lParam, uint32_t nowTick) {
  // Unsigned difference: correct across the 32-bit wrap of the tick.
  return lParam == 2 && static_cast<uint32_t>(nowTick - wParam) < 500u;
}

}  // namespace zent
