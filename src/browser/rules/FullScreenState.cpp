#include "browser/rules/FullScreenState.h"

namespace zent {

FullScreenChange TFullScreenState::On() const {
  return isSubMonitor_ || isFullScreen_ ? FullScreenChange::None : FullScreenChange::Enter;
}

FullScreenChange TFullScreenState::Off() const {
  return isSubMonitor_ || !isFullScreen_ ? FullScreenChange::None : FullScreenChange::Leave;
}

}  // namespace zent
