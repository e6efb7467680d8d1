// The requests to end the process that come from outside it (the system shutting down, a
// service manager, an operator's Ctrl+C): SIGTERM, SIGINT and SIGHUP on POSIX. A caught request
// becomes one byte on a pipe, so the event loop takes it as ordinary input and the program ends
// through its ordinary close path; the handler itself does nothing but that write.
// A second request (the program is already ending) ends the process at once the system's
// way, so a program that cannot close still goes. Contract: nothing throws.
// Not built for Windows: only the window uses it, and the window is built for Linux only.
#pragma once

#include <system_error>

#include "platform/Handle.h"

namespace zent::platform {

// Installs the handlers (once per process; later calls give the same handle). `pending`
// receives the process-wide handle that is readable whenever a request is pending; it stays
// valid for the life of the process.
std::error_code CatchEndSignals(ReadableHandle& pending);

// Takes the next pending request: its signal number, or 0 when none is pending.
int TakeEndSignal(ReadableHandle pending);

// "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
const char* EndSignalName(int signalNumber, char (&buffer)[24]);

}  // namespace zent::platform
