#include "media/MpvCommand.h"

#include <algorithm>

#include "common/Format.h"
#include "platform/Text.h"

namespace zent {

std::vector<std::string> MpvArguments(const std::optional<TScreenRect>& rect, const std::string& url) {
  std::vector<std::string> args = {
      "--no-config", "--no-terminal",
      // Xvfb and plain X servers: the x11 output honours borderless placement, the GPU one
      // falls back to an output that draws its own frame.
      "--vo=x11", "--no-border", "--ontop", "--loop-file=inf", "--force-window=immediate",
      "--no-keepaspect-window", "--no-osc", "--osd-level=0", "--input-default-bindings=no",
      "--audio-fallback-to-null=yes", "--title=mpc-be"};
  if (rect) {
    // Computed in 64 bits: the corners are any 32-bit values a settings file may hold.
    const int64_t left = std::max<int64_t>(rect->left, 0);
    const int64_t top = std::max<int64_t>(rect->top, 0);
    const int64_t width = std::max<int64_t>(int64_t{rect->right} - left, 1);
    const int64_t height = std::max<int64_t>(int64_t{rect->bottom} - top, 1);
    args.push_back(Format("--geometry=%lldx%lld+%lld+%lld", static_cast<long long>(width),
                          static_cast<long long>(height), static_cast<long long>(left),
                          static_cast<long long>(top)));
  }
  args.push_back("--");
  args.push_back(url);
  return args;
}

std::optional<std::string> PlayAddressOf(const std::vector<std::string>& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (platform::EqualsNoCase(args[i], "/play")) return args[i + 1];
  }
  return std::nullopt;
}

}  // namespace zent
