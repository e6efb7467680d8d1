// A window reached by its identity from another process: who serves the name, the receipt
// and the outcome, and a caller that is never left waiting for ever.
#include "platform/WindowChannel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "../TestSupport.h"
#include "support/posix/SocketFolder.h"
#include "platform/posix/RuntimeFiles.h"

namespace zent::platform {
namespace {

using namespace std::chrono_literals;

constexpr char kIdentity[] = "Lumo7Browser:{276E2177-7A03-4C90-9DE8-CD662DC7250E}";

// A short runtime folder of its own: socket paths have a small length limit.
class ChannelTest : public ::testing::Test {
 protected:
  ChannelTest() {
    env_ = std::make_unique<testing::ScopedEnv>("XDG_RUNTIME_DIR", dir_.c_str());
  }

  // Serves one caller on a thread: reads its message, then answers with `answers`.
  // With `hold`, the connection stays open until it is released.
  std::jthread Serve(WindowChannelServer& server, std::vector<uint32_t> answers, uint32_t* seen,
                     std::shared_future<void> hold = {}) {
    return std::jthread([&server, answers, seen, hold] {
      pollfd p{server.Readable().Native(), POLLIN, 0};
      if (::poll(&p, 1, 10000) != 1) return;
      auto peer = server.Accept();
      if (!peer) return;
      for (;;) {
        bool ended = false;
        if (auto message = peer->ReadMessage(ended)) {
          *seen = *message;
          break;
        }
        if (ended) return;
        pollfd q{peer->Readable().Native(), POLLIN, 0};
        ::poll(&q, 1, 10000);
      }
      for (uint32_t a : answers) peer->Answer(a);
      if (hold.valid()) hold.wait_for(std::chrono::seconds(30));
    });
  }

  zent::testing::SocketFolder folder_;
  const std::string& dir_ = folder_.path();
  std::unique_ptr<testing::ScopedEnv> env_;
};

TEST_F(ChannelTest, PathIsShortPrivateAndTheSameForTheSameIdentity) {
  const std::string path = WindowChannelPath(kIdentity);
  EXPECT_EQ(path.rfind(dir_ + "/zent-window/", 0), 0u) << path;
  EXPECT_EQ(path, WindowChannelPath(kIdentity));
  EXPECT_NE(path, WindowChannelPath("Lumo7Browser"));
  EXPECT_LT(path.size(), dir_.size() + 40);

  WindowChannelServer server;
  ASSERT_FALSE(server.Open(kIdentity));
  struct stat st{};
  ASSERT_EQ(::stat((dir_ + "/zent-window").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  server.Close();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ChannelTest, CallerGetsTheOutcomeAfterTheReceipt) {
  struct Case {
    std::vector<uint32_t> answers;
    WindowCallResult::Status status;
    uint32_t answer;
  } cases[] = {
      {{kWindowReceived, kWindowDone}, WindowCallResult::Answered, kWindowDone},
      {{kWindowReceived, kWindowRefused}, WindowCallResult::Answered, kWindowRefused},
      {{kWindowDone}, WindowCallResult::Answered, kWindowDone},  // no receipt first
      {{kWindowReceived}, WindowCallResult::Gone, 0},            // ended while closing
      {{}, WindowCallResult::NoWindow, 0},                       // ended before the receipt
  };
  for (const auto& c : cases) {
    WindowChannelServer server;
    ASSERT_FALSE(server.Open(kIdentity));
    uint32_t seen = 0;
    {
      auto thread = Serve(server, c.answers, &seen);
      const auto result = CallWindow(kIdentity, 0x10, 10s, 10s);
      EXPECT_EQ(result.status, c.status) << c.answers.size();
      EXPECT_EQ(result.answer, c.answer);
    }
    EXPECT_EQ(seen, 0x10u);
  }
}

TEST_F(ChannelTest, NobodyServingIsNoWindow) {
  EXPECT_EQ(CallWindow(kIdentity, 0x10, 1s, 1s).status, WindowCallResult::NoWindow);
  // A file left by a process that is gone: bound, never listening, the socket closed.
  std::filesystem::create_directories(dir_ + "/zent-window");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = WindowChannelPath(kIdentity);
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(CallWindow(kIdentity, 0x10, 1s, 1s).status, WindowCallResult::NoWindow);
  WindowChannelServer server;
  EXPECT_FALSE(server.Open(kIdentity)) << "a stale file is replaced";
}

TEST_F(ChannelTest, ALiveServerKeepsTheNameAndItsFile) {
  WindowChannelServer first;
  ASSERT_FALSE(first.Open(kIdentity));
  WindowChannelServer second;
  EXPECT_EQ(second.Open(kIdentity), std::make_error_code(std::errc::address_in_use));
  second.Close();
  EXPECT_TRUE(std::filesystem::exists(WindowChannelPath(kIdentity)));
}

TEST_F(ChannelTest, SilentServerDoesNotHoldTheCallerForEver) {
  WindowChannelServer server;
  ASSERT_FALSE(server.Open(kIdentity));
  // Accepted by the system's queue, never read: a hung process.
  EXPECT_EQ(CallWindow(kIdentity, 0x10, 200ms, 10s).status, WindowCallResult::NoReceipt);

  // Drop the queued caller of the first call before serving the next one.
  server.Accept();
  std::promise<void> release;
  uint32_t seen = 0;
  auto thread = Serve(server, {kWindowReceived}, &seen, release.get_future().share());
  // The receipt, then no outcome while the connection stays open: the answer wait ends it.
  EXPECT_EQ(CallWindow(kIdentity, 0x10, 10s, 200ms).status, WindowCallResult::NoAnswer);
  release.set_value();
}

}  // namespace
}  // namespace zent::platform
