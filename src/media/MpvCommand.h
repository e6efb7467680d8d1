// What the player adapter ("mpc-be.exe") hands to mpv: a borderless window on top, looping the
// video over exactly the rectangle from the player's settings, the address as one argument
// after "--" so no address can be read as an option.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "media/WindowRect.h"

namespace zent {

inline constexpr const char* kMpvProgram = "mpv";

// mpv's arguments (without the program). Without a rectangle the window is placed by mpv.
// A rectangle left of or above the screen starts at its edge; an empty one is 1 pixel.
std::vector<std::string> MpvArguments(const std::optional<TScreenRect>& rect, const std::string& url);

// The address from the player's command line ("/play" then the address, "/play" in any
// case); nullopt when the command line holds no such pair.
std::optional<std::string> PlayAddressOf(const std::vector<std::string>& args);

}  // namespace zent
