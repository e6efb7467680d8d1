#include "platform/RoleNotice.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>

#include "../TestSupport.h"
#include "support/posix/SocketFolder.h"
#include "platform/posix/RuntimeFiles.h"

namespace zent::platform {
namespace {

// A datagram socket bound at `path`, standing for another process's receiver.
class PeerSocket {
 public:
  explicit PeerSocket(const std::string& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~PeerSocket() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool bound() const { return bound_; }
  ssize_t Receive(std::array<uint8_t, 64>& buf) { return ::recv(fd_, buf.data(), buf.size(), 0); }
  void SendTo(const std::string& path, const void* data, size_t size) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ::sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

constexpr char kRole[] = "{90590EAD-140B}";

// A short runtime folder of its own (socket paths have a small length limit) holding the
// folder of kRole's sockets, where the other "processes" of a test bind theirs.
class SocketDir {
 public:
  SocketDir() {
    env_ = std::make_unique<testing::ScopedEnv>("XDG_RUNTIME_DIR", runtime_.c_str());
    path_ = RoleNoticeFolder(kRole);
    std::filesystem::create_directories(path_);
  }
  const std::string& runtime() const { return runtime_; }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  zent::testing::SocketFolder folder_;
  const std::string& runtime_ = folder_.path();
  std::unique_ptr<testing::ScopedEnv> env_;
  std::string path_;
};

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

TEST(RoleNotice, BroadcastReachesOthersSkipsOwnAndRemovesStaleSockets) {
  SocketDir dir;
  RoleNoticeReceiver own;
  ASSERT_FALSE(own.Open(kRole));
  PeerSocket peer(dir / "999999.sock");
  ASSERT_TRUE(peer.bound());
  {
    PeerSocket gone(dir / "999998.sock");  // a process that died: its file stays behind
    ASSERT_TRUE(gone.bound());
  }
  ASSERT_TRUE(Exists(dir / "999998.sock"));

  EXPECT_EQ(BroadcastRoleNotice(kRole, {0xC001, 0x01020304, 2}), 1);

  std::array<uint8_t, 64> buf{};
  ASSERT_EQ(peer.Receive(buf), 12);
  const uint8_t expected[] = {0x01, 0xC0, 0, 0, 0x04, 0x03, 0x02, 0x01, 2, 0, 0, 0};
  EXPECT_EQ(std::memcmp(buf.data(), expected, sizeof expected), 0);
  EXPECT_FALSE(own.Read().has_value()) << "a process must not notify itself";
  EXPECT_FALSE(Exists(dir / "999998.sock"));
}

TEST(RoleNotice, ReceiverTakesOnlyWellFormedNotices) {
  SocketDir dir;
  RoleNoticeReceiver receiver;
  ASSERT_FALSE(receiver.Open(kRole));
  const std::string own = dir / (std::to_string(::getpid()) + ".sock");
  PeerSocket sender(dir / "sender.tmp");

  const uint8_t shortOne[] = {1, 2, 3};
  std::array<uint8_t, 40> longOne{};
  const uint8_t good[] = {0x90, 0x84, 0, 0, 128, 0, 0, 0, 144, 0, 0, 0};
  sender.SendTo(own, shortOne, sizeof shortOne);
  sender.SendTo(own, longOne.data(), longOne.size());
  sender.SendTo(own, good, sizeof good);

  auto notice = receiver.Read();
  ASSERT_TRUE(notice.has_value());
  EXPECT_EQ(notice->message, 0x8490u);
  EXPECT_EQ(notice->wParam, 128u);
  EXPECT_EQ(notice->lParam, 144u);
  EXPECT_FALSE(receiver.Read().has_value());

  receiver.Close();
  EXPECT_FALSE(Exists(own)) << "the socket file goes with the receiver";
}

TEST(RoleNotice, UnheardRoleReachesNobodyAndNamesStayInTheirFolder) {
  {
    SocketDir dir;
    EXPECT_EQ(BroadcastRoleNotice("nobody listens", {1, 2, 3}), 0);
    RoleNoticeReceiver hostile;
    ASSERT_FALSE(hostile.Open("../../etc"));
    EXPECT_TRUE(Exists(RoleNoticeFolder("../../etc") + "/" + std::to_string(::getpid()) + ".sock"));
    EXPECT_FALSE(Exists(dir.runtime() + "/etc"));
  }
  testing::ScopedEnv run("XDG_RUNTIME_DIR", "/run/test");
  EXPECT_EQ(RoleNoticeFolder("{90590EAD-140B}"), "/run/test/zent-notice/%7B90590EAD-140B%7D");
  const std::string hostile = RoleNoticeFolder("../../etc");
  EXPECT_EQ(hostile.find("/../"), std::string::npos) << hostile;
}

}  // namespace
}  // namespace zent::platform
