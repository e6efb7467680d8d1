// Entries per second of a multi-thread log (the application log's options) against plain
// write(2) calls of the same bytes to a file in the same folder, from one and two threads.
// Usage: file_log_bench [folder] [entries per thread]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/FileLog.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kText = "连接服务器 192.168.1.20:7006 成功, 页面 /lumo7/index.html 已加载";

template <typename Body>
double Run(int threads, long perThread, Body body) {
  const auto start = Clock::now();
  {
    std::vector<std::jthread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back([&] { body(perThread); });
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return static_cast<double>(threads) * static_cast<double>(perThread) / seconds;
}

double PlainWrites(const fs::path& file, int threads, long perThread) {
  fs::remove(file);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::perror("open");
    std::exit(1);
  }
  // The bytes an entry of the log carries: line break, stamp, tag, space, text.
  const std::string line = "\r\n[2024-01-15 10:20:30.123][0-123456] " + kText;
  ::sync();  // no write-back of the previous run's data during this one
  const double rate = Run(threads, perThread, [&](long n) {
    for (long i = 0; i < n; ++i)
      if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
  });
  ::close(fd);
  return rate;
}

double LogWrites(const fs::path& folder, int threads, long perThread) {
  fs::remove_all(folder / "log");
  zent::TFileLog log("Bench", (folder / "log").string(), "", {zent::floMultiThread, zent::floNoIndex},
                     zent::flsDay, zent::flsDay);
  ::sync();
  return Run(threads, perThread, [&](long n) {
    for (long i = 0; i < n; ++i) log.Log(0, kText);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::current_path() / "file_log_bench.tmp";
  const long perThread = argc > 2 ? std::atol(argv[2]) : 200000;
  fs::create_directories(folder);
  zent::InitFileLog((folder / "default").string());

  std::printf("%-8s %16s %16s %8s\n", "threads", "log entries/s", "write(2) /s", "ratio");
  for (int threads : {1, 2}) {
    double best_log = 0, best_plain = 0;
    for (int round = 0; round < 5; ++round) {  // best of five, alternating, against noise
      best_plain = std::max(best_plain, PlainWrites(folder / "plain.log", threads, perThread));
      best_log = std::max(best_log, LogWrites(folder, threads, perThread));
    }
    std::printf("%-8d %16.0f %16.0f %8.2f\n", threads, best_log, best_plain, best_log / best_plain);
  }
  fs::remove_all(folder);
  return 0;
}
