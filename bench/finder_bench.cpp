// Time from a search request (TFindServerT::Find) to the finder's callback, with a server
// that answers at once: across the veth pair of scripts/netns.sh (broadcast from this side,
// server on the far side) and, as the floor, on loopback. The reference for each is the bare
// round trip of one datagram to the same server and back on a plain socket. Prints median
// and spread.
// Run: scripts/netns.sh run build/bench/finder_bench [searches]
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "discovery/FindServer.h"
#include "platform/Net.h"

namespace {

using Clock = std::chrono::steady_clock;

// A server that answers every request at once with a fixed answer.
class InstantServer {
 public:
  explicit InstantServer(uint32_t address) {
    if (socket_.Open() || socket_.Bind(address, 0) || socket_.LocalPort(port_)) {
      std::fprintf(stderr, "server socket failed\n");
      std::exit(1);
    }
    zent::TReplyData rd;
    rd.SMsgType = zent::kMsgSearchAnswer;
    rd.STomcatPort = 8080;
    rd.SetUrl("lumo7/");
    answer_ = rd.ToBytes();
    thread_ = std::jthread([this](std::stop_token st) {
      std::vector<uint8_t> buf(2048);
      while (!st.stop_requested()) {
        zent::platform::UdpSocket::Received got;
        if (socket_.Receive(buf, 1000, &wake_, got)) return;
        if (got.kind == zent::platform::UdpSocket::ReceiveKind::kDatagram) {
          socket_.SendTo(got.from, got.fromPort, answer_);
        }
      }
    });
  }
  ~InstantServer() {
    thread_.request_stop();
    wake_.Signal();
  }
  uint16_t Port() const { return port_; }

 private:
  zent::platform::UdpSocket socket_;
  zent::platform::WakeEvent wake_;
  uint16_t port_ = 0;
  std::array<uint8_t, zent::TReplyData::kSize> answer_{};
  std::jthread thread_;
};

struct Figures {
  double median, p10, p90, min, max;
  int failed;
};

Figures Summarise(std::vector<double>& us, int failed) {
  if (us.empty()) return {0, 0, 0, 0, 0, failed};
  std::sort(us.begin(), us.end());
  auto at = [&](double q) { return us[static_cast<size_t>(q * static_cast<double>(us.size() - 1))]; };
  return {at(0.5), at(0.1), at(0.9), us.front(), us.back(), failed};
}

Figures Measure(const zent::TUdpClientOptions& options, int searches) {
  zent::TFindServerT finder(options);
  std::mutex m;
  std::condition_variable cv;
  bool done = false, found = false;
  Clock::time_point end;
  std::vector<double> us;
  int failed = 0;
  for (int i = 0; i < searches + 5; ++i) {  // the first five warm up
    {
      std::lock_guard lock(m);
      done = false;
    }
    const auto start = Clock::now();
    finder.Find([&](bool f, const zent::TReplyData&, const std::string&) {
      const auto t = Clock::now();
      std::lock_guard lock(m);
      end = t;
      found = f;
      done = true;
      cv.notify_all();
    });
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done; });
    if (!found) ++failed;
    else if (i >= 5) us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    lock.unlock();
    finder.WaitUntilIdle(std::chrono::seconds(10));
  }
  return Summarise(us, failed);
}

// The reference: one datagram to the server and its answer back, nothing else.
Figures RoundTrip(uint32_t address, uint16_t port, int count) {
  zent::platform::UdpSocket socket;
  if (socket.Open() || socket.Bind(0, 0)) {
    std::fprintf(stderr, "round-trip socket failed\n");
    std::exit(1);
  }
  const std::array<uint8_t, 4> ping{1, 2, 3, 4};
  std::vector<uint8_t> buf(2048);
  std::vector<double> us;
  int failed = 0;
  for (int i = 0; i < count + 5; ++i) {  // the first five warm up
    const auto start = Clock::now();
    zent::platform::UdpSocket::Received got;
    if (socket.SendTo(address, port, ping) || socket.Receive(buf, 1000, nullptr, got) ||
        got.kind != zent::platform::UdpSocket::ReceiveKind::kDatagram) {
      ++failed;
      continue;
    }
    if (i >= 5) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return Summarise(us, failed);
}

void Print(const char* name, const Figures& f, int searches) {
  std::printf("%-28s searches=%d failed=%d median=%.1fus p10=%.1fus p90=%.1fus min=%.1fus max=%.1fus\n",
              name, searches, f.failed, f.median, f.p10, f.p90, f.min, f.max);
}

}  // namespace

int main(int argc, char** argv) {
  const int searches = argc > 1 ? std::atoi(argv[1]) : 500;
  {
    InstantServer server(*zent::platform::ParseIPv4("127.0.0.1"));
    Print("loopback (floor)", Measure({"127.0.0.1", server.Port(), false}, searches), searches);
    Print("loopback round trip", RoundTrip(*zent::platform::ParseIPv4("127.0.0.1"), server.Port(), searches),
          searches);
  }
  const char* peer = std::getenv("ZENT_PEER_NETNS");
  if (!peer) {
    std::printf("veth: skipped (run inside scripts/netns.sh)\n");
    return 0;
  }
  // The server's socket is made on a thread that entered the far side, so it lives there.
  std::unique_ptr<InstantServer> server;
  std::thread([&] {
    const int fd = ::open(peer, O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0) server = std::make_unique<InstantServer>(0);
    if (fd >= 0) ::close(fd);
  }).join();
  if (!server) {
    std::fprintf(stderr, "cannot enter the far side\n");
    return 1;
  }
  Print("broadcast across veth", Measure({"255.255.255.255", server->Port(), true}, searches), searches);
  Print("veth round trip", RoundTrip(*zent::platform::ParseIPv4("10.77.0.1"), server->Port(), searches), searches);
  return 0;
}
