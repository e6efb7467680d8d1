// A measuring aid for tests and benchmarks, started only when the environment variable
// ZENT_LOOP_PROBE names a file: every 200 ms a thread of its own posts a call to the
// window's thread and writes how long the call waited there ("<unix ms> <latency ms>" per
// line). It measures exactly what a stalled window shows the operator: its loop not turning.
#pragma once

#include <memory>

namespace zent {

// The running probe; its destructor stops and joins its thread.
class LoopProbe {
 public:
  virtual ~LoopProbe() = default;
};

// The probe when ZENT_LOOP_PROBE is set, else nothing.
std::unique_ptr<LoopProbe> StartLoopProbeFromEnvironment();

}  // namespace zent
