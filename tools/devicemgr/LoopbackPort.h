// Stand-in device manager: its loopback port and its idle wait, each system's own
// (tools/devicemgr/posix/ or tools/devicemgr/win32/, chosen by CMake).
// Contract: ServeLoopbackPort returns only on failure, after printing why to stderr;
// WaitForever never returns (the process is ended from outside).
#pragma once

#include <cstdint>

namespace zent::devicemgr {

// Listens on 127.0.0.1:`port` and accepts and closes every connection, for ever.
bool ServeLoopbackPort(uint16_t port);
[[noreturn]] void WaitForever();

}  // namespace zent::devicemgr
