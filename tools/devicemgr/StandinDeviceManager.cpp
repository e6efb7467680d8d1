// Stand-in for the shop's device manager ("DeviceManager.exe"), for tests and the demo. Like
// the real one it holds the machine-wide named lock "Global\B39EB66E-…" while it runs and
// accepts connections on 127.0.0.1:5414; the switches make it slow or deaf:
//   --start-delay-ms N   wait N ms before taking the lock (a slow start)
//   --port-delay-ms N    open the port N ms after taking the lock
//   --no-port            never open the port
//   --record FILE        append "started <pid>" to FILE once the lock is held
// It runs until it is ended by a signal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/NamedLock.h"

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
  if (!record.empty()) std::ofstream(record, std::ios::app) << "started " << ::getpid() << "\n";
  if (noPort) {
    for (;;) ::pause();
  }
  SleepMs(portDelay);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(kPort);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0) {
    std::perror("DeviceManager: port 5414");
    return 1;
  }
  for (;;) {
    const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c >= 0) ::close(c);
  }
}
