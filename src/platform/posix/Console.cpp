// POSIX: isatty on descriptor 0.
#include "platform/Console.h"

#include <unistd.h>

namespace zent::platform {

bool StandardInputIsTerminal() noexcept { return ::isatty(STDIN_FILENO) == 1; }

}  // namespace zent::platform
