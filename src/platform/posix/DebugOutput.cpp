// POSIX: debugger traces are single lines on standard error, written with one call so
// that lines from several threads never interleave.
#include "platform/DebugOutput.h"

#include <unistd.h>

#include <string>

namespace zent::platform {

void OutputDebugString(std::string_view text) noexcept {
  try {
    std::string line(text);
    line += '\n';
    // A trace that cannot be written is dropped: there is nowhere else to report it.
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
  } catch (...) {
    // Out of memory while tracing: drop the trace.
  }
}

}  // namespace zent::platform
