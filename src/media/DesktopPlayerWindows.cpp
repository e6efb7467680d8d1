// The player's windows on the real desktop, through the platform layer.
#include "media/PlayerWindows.h"
#include "platform/DesktopWindows.h"

namespace zent {
namespace {

class DesktopPlayerWindows final : public TPlayerWindows {
 public:
  std::optional<uint32_t> FindShownWindow(uint32_t pid) override { return desktop_.FindShownWindow(pid); }
  bool SkipTaskbar(uint32_t window) override { return desktop_.SkipTaskbar(window); }

 private:
  platform::DesktopWindows desktop_;
};

}  // namespace

std::unique_ptr<TPlayerWindows> MakeDesktopPlayerWindows() { return std::make_unique<DesktopPlayerWindows>(); }

}  // namespace zent
