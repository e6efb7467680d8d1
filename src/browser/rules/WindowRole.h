// The window's role, worked out once from the command line and handed to every part: the
// main instance or the secondary screen (the customer display).
#pragma once

#include <string>

#include "config/CommandLine.h"

namespace zent {

struct WindowRole {
  // Any argument containing "-suburl" (the looser test the placement has always used): the
  // window sits on the last monitor, never changes full screen, connects as the secondary
  // screen and has no close notice of its own.
  bool secondary = false;
  // Started with the "-suburl" option itself: the window also carries the identity caption
  // the main instance finds it by, has no frame, no status bar, no hot key and no floating
  // button. Implies `secondary`.
  bool identityWindow = false;
  // The secondary screen's page, the option's value.
  std::string subUrl;
};

WindowRole WindowRoleOf(const CommandLine& commandLine);

}  // namespace zent
