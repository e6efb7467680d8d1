// Stand-in for the shop's device manager ("DeviceManager.exe"), for tests and the demo. Like
// the real one it holds the machine-wide named lock "Global\B39EB66E-…" while it runs and
// accepts connections on 127.0.0.1:5414; the switches make it slow or deaf:
//   --start-delay-ms N   wait N ms before taking the lock (a slow start)
//   --port-delay-ms N    open the port N ms after taking the lock
//   --no-port            never open the port
//   --record FILE        append "started <pid>" to FILE once the lock is held
// It runs until it is ended by a signal.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "LoopbackPort.h"
#include "platform/FsPath.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"

namespace {

constexpr const char* kMutexName = "Global\\B39EB66E-B58E-49DB-9C50-91035240F68C";
constexpr uint16_t kPort = 5414;

void SleepMs(long ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int main(int argc, char** argv) {
  long startDelay = 0, portDelay = 0;
  bool noPort = false;
  std::string record;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--start-delay-ms" && i + 1 < argc) startDelay = std::atol(argv[++i]);
    else if (a == "--port-delay-ms" && i + 1 < argc) portDelay = std::atol(argv[++i]);
    else if (a == "--no-port") noPort = true;
    else if (a == "--record" && i + 1 < argc) record = argv[++i];
    else {
      std::fprintf(stderr, "DeviceManager: unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  // Switches may also come from the environment: the browser starts us without arguments.
  if (const char* v = std::getenv("ZENT_DEVMGR_START_DELAY_MS")) startDelay = std::atol(v);
  if (const char* v = std::getenv("ZENT_DEVMGR_PORT_DELAY_MS")) portDelay = std::atol(v);
  if (const char* v = std::getenv("ZENT_DEVMGR_NO_PORT")) noPort = noPort || std::strcmp(v, "1") == 0;
  if (const char* v = std::getenv("ZENT_DEVMGR_RECORD")) record = v;

  SleepMs(startDelay);
  zent::platform::NamedLock lock(kMutexName);
  if (const auto ec = lock.Hold()) {
    std::fprintf(stderr, "DeviceManager: cannot hold the lock: %s\n", ec.message().c_str());
    return 1;
  }
  if (!record.empty()) {
    std::ofstream(zent::platform::FsPath(record), std::ios::app) << "started " << zent::platform::CurrentProcessId() << "\n";
  }
  if (noPort) zent::devicemgr::WaitForever();
  SleepMs(portDelay);
  return zent::devicemgr::ServeLoopbackPort(kPort) ? 0 : 1;
}
