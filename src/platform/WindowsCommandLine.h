// Windows programs receive one command line, which their C runtime splits into words again
// (the CommandLineToArgvW rules). These functions write words so that every program gets
// exactly the words we meant: spaces, quotes and backslashes included. Pure text, built on
// every system so the rules are tested everywhere; the Windows layer starts processes with it.
// Contract: nothing throws but std::bad_alloc; no system call.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zent::platform {

// One argument as the C runtime reads it back: as it stands when it holds no space, tab,
// line break or quote (and is not empty); else in quotes, each quote escaped with a backslash
// and the backslashes before a quote (or before the closing quote) doubled.
std::string QuoteWindowsArgument(std::string_view argument);

// The program (always in quotes: the first word is read without backslash escapes, and no
// Windows file name holds a quote) followed by each argument quoted as above, separated by
// single spaces.
std::string WindowsCommandLine(std::string_view program, const std::vector<std::string>& args);

}  // namespace zent::platform
