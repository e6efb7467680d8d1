// The player window's rectangle as the player's settings file keeps it: left, top, right,
// bottom as signed 32-bit little-endian integers, each byte written as two letters from
// "A" to "P" (low four bits first), 32 letters in all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zent {

struct TScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const TScreenRect&) const = default;
};

std::string EncodeWindowRect(const TScreenRect& rect);
// nullopt unless the text is exactly 32 letters from "A" to "P".
std::optional<TScreenRect> DecodeWindowRect(std::string_view text);

}  // namespace zent
