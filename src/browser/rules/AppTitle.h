// The application's title (captions of the main instance and of its error boxes) and its
// icon file. The title is kept here rather than as the toolkit's display name, which the
// toolkit would append to every window caption, the page titles included.
#pragma once

#include <string>

#include "common/Branding.h"

namespace zent {

inline constexpr const char* kAppTitleText = kProductDisplayName;

// Empty until ApplyAppTitle has set it.
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& title);

// "Res/Lumo7Browser.ico" in the executable's folder.
std::string AppIconFileName();

}  // namespace zent
