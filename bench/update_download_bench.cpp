// Memory and speed of an update download: the update thread fetches a package of N MiB from a
// server on loopback that streams it in 1 MiB pieces; the program prints its peak resident
// memory (VmHWM) before and after, and the throughput. The body goes to disk piece by piece,
// so the peak should not move with N.
// Run: scripts/netns.sh run build/bench/update_download_bench [MiB, default 200]
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "common/FileLog.h"
#include "update/UpdateThread.h"

namespace {

long VmHwmKib() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
  const uint64_t size = mib << 20;
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("update-bench." + std::to_string(::getpid()));
  fs::create_directories(root);
  zent::InitFileLog((root / "Logs/").string());

  httplib::Server server;
  const std::string piece(1 << 20, '\0');
  server.Post("/autoupdate/checkupdate", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"success":true,"DownloadUrl":"/setup.exe","md5":"bench"})", "application/json");
  });
  server.Get("/setup.exe", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(size, "application/octet-stream", [&](size_t offset, size_t, httplib::DataSink& sink) {
      sink.write(piece.data(), std::min<uint64_t>(piece.size(), size - offset));
      return true;
    });
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  std::ofstream(root / "cfg.ini") << "[LumoServer]\nHost=127.0.0.1\n";
  zent::TUpdateSettings settings;
  settings.appVersion = "7.0.0.1";
  settings.installBase = (root / "base").string() + "/";
  settings.configFile = (root / "cfg.ini").string();
  settings.mainPort = static_cast<uint16_t>(port);
  settings.maxPackageBytes = size + 1;

  const long before = VmHwmKib();
  const auto t0 = std::chrono::steady_clock::now();
  {
    zent::TUpdateThread thread(settings);
    thread.WaitFinished(std::chrono::minutes(10));
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const long after = VmHwmKib();
  const fs::path package = root / "base/Temp/ExeBuf/DO2_U_bench.exe";
  std::error_code ec;
  const uint64_t got = fs::file_size(package, ec);
  std::printf("download %llu MiB: stored %llu bytes in %.2f s (%.0f MiB/s); VmHWM %ld KiB before, %ld KiB after\n",
              static_cast<unsigned long long>(mib), static_cast<unsigned long long>(ec ? 0 : got), secs,
              secs > 0 ? mib / secs : 0.0, before, after);
  server.stop();
  serving.join();
  fs::remove_all(root, ec);
  return got == size ? 0 : 1;
}
