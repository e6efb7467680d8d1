// The server connection with its worker: the owner's thread never waits for the network, a
// stop ends a query that waits on a silent server at once, the retry timer repeats, search
// reports arrive on the owner's thread, and the disconnect notice runs behind the owner's back
// while closing waits for it. Network tests run inside scripts/netns.sh (loopback only).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "config/Config.h"
#include "connection/ServerConnection.h"
#include "support/HttpTestServer.h"
#include "support/LoopbackListener.h"
#include "support/ScopedEnvironment.h"
#include "support/StalledPort.h"

namespace zent {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The owner's thread: the test's own, running what the connection posts.
class OwnerLoop {
 public:
  TPostToOwner Poster() {
    return [this](std::function<void()> fn) {
      {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
      }
      cv_.notify_all();
    };
  }
  // Runs posted work until `done` holds; false when `timeout` passed first.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto end = Clock::now() + timeout;
    while (!done()) {
      std::function<void()> fn;
      {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_until(lock, end, [this] { return !queue_.empty(); })) return done();
        fn = std::move(queue_.front());
        queue_.pop_front();
      }
      fn();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

// A "/Directional" server on loopback with a chosen answer, counting requests.
class DirectionalServer {
 public:
  DirectionalServer() {
    auto& routes = server_.server();
    routes.Get("/Directional", [this](const httplib::Request&, httplib::Response& res) {
      ++asked;
      std::lock_guard lock(mutex_);
      res.status = status_;
      res.set_content(body_, "text/plain");
    });
    routes.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      paths_.push_back(req.path);
      headers_ = req.headers;
      res.status = 200;
    });
    port = server_.Start();
  }
  void Answer(int status, std::string body) {
    std::lock_guard lock(mutex_);
    status_ = status;
    body_ = std::move(body);
  }
  std::vector<std::string> Paths() {
    std::lock_guard lock(mutex_);
    return paths_;
  }
  std::string Header(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
  }

  int port = 0;
  std::atomic<int> asked{0};

 private:
  std::mutex mutex_;
  int status_ = 404;
  std::string body_;
  std::vector<std::string> paths_;
  httplib::Headers headers_;
  // Last: stopped (and its handler thread joined) before the fields the handlers use go.
  zent::testing::HttpTestServer server_;
};


class ServerConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Cases run side by side: each has its own configuration folder.
    root_ = std::filesystem::path(ZENT_TEST_TMP_DIR) / "connection" /
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    registry_.emplace(root_);
    options_.retryInterval = 50ms;
    options_.startSearch = [this](FoundCallback report) {
      ++searches_;
      if (searchReport_) searchReport_(std::move(report));
    };
    options_.stopSearch = [] {};
    options_.saveAddress = [this](const TServerUri& uri) {
      std::lock_guard lock(savedMutex_);
      saved_.push_back(uri.PageAddress());
    };
    options_.saveFixHost = [](bool) {};
    reports_.loadPage = [this](const std::string& address) { loaded_.push_back(address); };
    reports_.serverInUse = [this](const std::string& host, uint16_t port) {
      inUse_.push_back(host + ":" + std::to_string(port));
    };
  }
  std::unique_ptr<ServerConnection> Make(uint16_t directionalPort, TPageChoice choice = {}) {
    options_.directionalPort = directionalPort;
    return std::make_unique<ServerConnection>(std::move(choice), owner_.Poster(), reports_, options_);
  }
  static TServerUri Host(const std::string& host) {
    TServerUri uri;
    uri.host = host;
    return uri;
  }

  std::filesystem::path root_;
  std::optional<zent::testing::ScopedRegistryRoot> registry_;
  OwnerLoop owner_;
  TConnectionOptions options_;
  TConnectionReports reports_;
  std::function<void(FoundCallback)> searchReport_;
  int searches_ = 0;
  std::vector<std::string> Saved() {
    std::lock_guard lock(savedMutex_);
    return saved_;
  }
  std::mutex savedMutex_;
  std::vector<std::string> saved_;  // written on the worker
  std::vector<std::string> loaded_;
  std::vector<std::string> inUse_;
};

TEST_F(ServerConnectionTest, TheStartsAnswerOpensTheServersPageOnceTheBrowserExists) {
  DirectionalServer server;
  server.Answer(200, "1,13,ignored,8080,1,lumo7/,hello");
  auto connection = Make(static_cast<uint16_t>(server.port));
  connection->Begin(Host("127.0.0.1"), false);
  ASSERT_TRUE(owner_.RunUntil([&] { return server.asked > 0; }));
  // The answer is in, but the page waits for the browser.
  owner_.RunUntil([] { return false; }, 200ms);
  EXPECT_TRUE(loaded_.empty());
  connection->BrowserReady();
  ASSERT_EQ(loaded_.size(), 1u);
  EXPECT_EQ(loaded_[0], "http://127.0.0.1:8080/lumo7/");
  EXPECT_EQ(inUse_, std::vector<std::string>{"127.0.0.1:8080"});
  EXPECT_EQ(searches_, 0);
  // The address is saved on the worker; a save still queued at the end is not lost.
  connection.reset();
  EXPECT_EQ(Saved(), loaded_);
}

TEST_F(ServerConnectionTest, AFixedHostThatDoesNotAnswerIsAskedEverySecondWithoutASearch) {
  DirectionalServer server;  // answers 404: no server
  auto connection = Make(static_cast<uint16_t>(server.port));
  connection->BrowserReady();
  connection->Begin(Host("127.0.0.1"), true);
  // The start's failure keeps the fixed host and opens its page; a failed page then retries.
  ASSERT_TRUE(owner_.RunUntil([&] { return !loaded_.empty(); }));
  EXPECT_EQ(loaded_[0], "http://127.0.0.1/");
  connection->PageFailed();
  ASSERT_TRUE(owner_.RunUntil([&] { return server.asked >= 4; }));
  EXPECT_EQ(searches_, 0);
  EXPECT_EQ(loaded_.size(), 1u);
  // Once the host answers, its page opens and the asking stops.
  server.Answer(200, "1,13,x,8080,1,lumo7/,t");
  ASSERT_TRUE(owner_.RunUntil([&] { return loaded_.size() == 2; }));
  EXPECT_EQ(loaded_[1], "http://127.0.0.1:8080/lumo7/");
  const int asked = server.asked;
  owner_.RunUntil([] { return false; }, 200ms);
  EXPECT_EQ(server.asked, asked);
}

TEST_F(ServerConnectionTest, SearchReportsArriveOnTheOwnersThreadAndRepeatUntilFound) {
  const auto ownerThread = std::this_thread::get_id();
  std::vector<std::thread> finders;
  std::atomic<int> reports{0};
  searchReport_ = [&](FoundCallback report) {
    // The finder reports on its own thread: twice nothing, then the server.
    finders.emplace_back([&, report = std::move(report)] {
      TReplyData rd;
      const bool found = ++reports >= 3;
      if (found) {
        rd.STomcatIp = "10.0.0.5";
        rd.STomcatPort = 8080;
        rd.SUrl = "lumo7/";
      }
      report(found, rd, std::string());
    });
  };
  reports_.loadPage = [&](const std::string& address) {
    EXPECT_EQ(std::this_thread::get_id(), ownerThread);
    loaded_.push_back(address);
  };
  auto connection = Make(1);
  connection->Begin(Host(""), false);
  EXPECT_EQ(searches_, 0);  // nothing happens before the browser exists
  connection->BrowserReady();
  ASSERT_TRUE(owner_.RunUntil([&] { return !loaded_.empty(); }));
  EXPECT_EQ(searches_, 3);
  EXPECT_EQ(loaded_[0], "http://10.0.0.5:8080/lumo7/");
  for (auto& t : finders) t.join();
}

TEST_F(ServerConnectionTest, ASilentServerNeverHoldsTheOwnerAndAStopEndsTheQueryAtOnce) {
  // One server accepts and never answers; the other never accepts (its connection requests
  // go unanswered), so the query still waits in its connect phase when it is stopped.
  // Connections complete and are never answered: a server that black-holes its port.
  zent::testing::LoopbackListener silent;
  ASSERT_TRUE(silent.Open());
  zent::testing::StalledPort stalled;
  ASSERT_GT(stalled.port, 0);
  for (const int port : {static_cast<int>(silent.Port()), static_cast<int>(stalled.port)}) {
    SCOPED_TRACE(port == silent.Port() ? "no answer" : "no connection");
    auto connection = Make(static_cast<uint16_t>(port));
    auto start = Clock::now();
    connection->BrowserReady();
    connection->Begin(Host("127.0.0.1"), true);
    EXPECT_LT(Clock::now() - start, 100ms);
    // The query waits on the silent port; the dialog's confirmation drops it at once.
    owner_.RunUntil([] { return false; }, 300ms);
    start = Clock::now();
    connection->StopConnecting(true);
    ASSERT_TRUE(connection->NewServer("localhost"));
    EXPECT_LT(Clock::now() - start, 100ms);
    connection.reset();  // the query ends at once, not after its 5 s time-outs
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_TRUE(loaded_.empty());
  }
}

TEST_F(ServerConnectionTest, TheDisconnectNoticeRunsOffTheOwnersThreadAndClosingWaitsForIt) {
  DirectionalServer server;
  SaveServerConfig("127.0.0.1", static_cast<uint16_t>(server.port), "lumo7/");
  auto connection = Make(static_cast<uint16_t>(server.port));
  std::atomic<bool> afterwards{false};
  const auto start = Clock::now();
  connection->Disconnect("OS-1", "{\"u\":1}", [&] { afterwards = true; });
  EXPECT_LT(Clock::now() - start, 100ms);
  connection.reset();  // waits for the notice
  EXPECT_TRUE(afterwards);
  EXPECT_EQ(server.Paths(), std::vector<std::string>{"/lumo7/dbi/lumo7server/product/disconnect"});
  EXPECT_EQ(server.Header("OSID"), "OS-1");
  EXPECT_EQ(server.Header("Params"), "{\"u\":1}");
}

TEST_F(ServerConnectionTest, ANoticeToASilentServerEndsAtItsTimeOut) {
  zent::testing::LoopbackListener silent;
  ASSERT_TRUE(silent.Open());
  SaveServerConfig("127.0.0.1", silent.Port(), "lumo7/");
  options_.disconnect = {200ms, 200ms};
  auto connection = Make(1);
  std::atomic<bool> afterwards{false};
  const auto start = Clock::now();
  connection->Disconnect("OS-1", "{}", [&] { afterwards = true; });
  EXPECT_LT(Clock::now() - start, 100ms);
  connection.reset();
  EXPECT_TRUE(afterwards);
  EXPECT_LT(Clock::now() - start, 3s);
}

TEST(ConnectionWorker, TheTimerFiresOnceAndARestartPutsItOff) {
  TConnectionWorker worker;
  std::mutex mutex;
  std::condition_variable cv;
  int ticks = 0;
  const auto tick = [&] {
    std::lock_guard lock(mutex);
    ++ticks;
    cv.notify_all();
  };
  const auto start = Clock::now();
  worker.StartTimer(300ms, tick);
  std::this_thread::sleep_for(100ms);
  worker.StartTimer(300ms, tick);  // restarted: fires 300 ms from now
  std::unique_lock lock(mutex);
  ASSERT_TRUE(cv.wait_for(lock, 5s, [&] { return ticks == 1; }));
  EXPECT_GE(Clock::now() - start, 400ms);
  lock.unlock();
  worker.StartTimer(50ms, tick);
  worker.StopTimer();
  std::this_thread::sleep_for(200ms);
  lock.lock();
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace zent
