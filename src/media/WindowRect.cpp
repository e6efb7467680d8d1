#include "media/WindowRect.h"

#include <array>

namespace zent {
namespace {

constexpr size_t kRectBytes = 16;

}  // namespace

std::string EncodeWindowRect(const TScreenRect& rect) {
  const std::array<int32_t, 4> values{rect.left, rect.top, rect.right, rect.bottom};
  std::string text;
  text.reserve(kRectBytes * 2);
  for (int32_t value : values) {
    const auto bits = static_cast<uint32_t>(value);
    for (int byte = 0; byte < 4; ++byte) {
      const uint8_t b = static_cast<uint8_t>(bits >> (8 * byte));
      text += static_cast<char>('A' + (b & 0x0F));
      text += static_cast<char>('A' + (b >> 4));
    }
  }
  return text;
}

std::optional<TScreenRect> DecodeWindowRect(std::string_view text) {
  if (text.size() != kRectBytes * 2) return std::nullopt;
  std::array<uint32_t, 4> values{};
  for (size_t i = 0; i < kRectBytes; ++i) {
    const char low = text[2 * i];
    const char high = text[2 * i + 1];
    if (low < 'A' || low > 'P' || high < 'A' || high > 'P') return std::nullopt;
    const uint32_t b = static_cast<uint32_t>(low - 'A') | (static_cast<uint32_t>(high - 'A') << 4);
    values[i / 4] |= b << (8 * (i % 4));
  }
  return TScreenRect{static_cast<int32_t>(values[0]), static_cast<int32_t>(values[1]),
                     static_cast<int32_t>(values[2]), static_cast<int32_t>(values[3])};
}

}  // namespace zent
