// The console the process was started from: whether a person can answer a question there.
// Contract: nothing throws.
#pragma once

namespace zent::platform {

// True when standard input is an interactive terminal (not a file, a pipe or nothing).
bool StandardInputIsTerminal() noexcept;

}  // namespace zent::platform
