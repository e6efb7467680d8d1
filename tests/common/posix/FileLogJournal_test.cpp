// The log files' entries of levels 1 and 2 and the banners also reach the system journal,
// shown against a datagram socket standing in for it (an AF_UNIX socket: POSIX only).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../FileLogTest.h"
#include "common/FileLog.h"
#include "support/posix/SocketFolder.h"

namespace zent {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A datagram socket standing in for the machine's journal, in a folder of its own under /tmp
// (the case's folder is too deep for a socket's address).
class JournalStandIn {
 public:
  JournalStandIn() {
    if (folder_.path().empty()) return;
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path().c_str(), sizeof address.sun_path - 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~JournalStandIn() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool bound() const { return bound_; }
  std::string path() const { return folder_ / "journal.socket"; }
  // "PRIORITY ZENT_LEVEL ZENT_LOG: MESSAGE" of every datagram waiting; the message is sent in
  // the length-prefixed form when it holds a line break, so only the simple form is read here.
  std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
      std::map<std::string, std::string> fields;
      std::istringstream lines(std::string(buffer, static_cast<size_t>(n)));
      for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
      }
      EXPECT_EQ(fields["SYSLOG_IDENTIFIER"], "common_tests");
      EXPECT_EQ(fields["TID"], Tid());
      entries.push_back(fields["PRIORITY"] + " " + fields["ZENT_LEVEL"] + " " + fields["ZENT_LOG"] + ": " +
                        fields["MESSAGE"]);
    }
    return entries;
  }

 private:
  testing::SocketFolder folder_;
  int fd_ = -1;
  bool bound_ = false;
};

TEST_F(FileLogTest, LevelsOneAndTwoAndTheBannersAlsoGoToTheJournal) {
  JournalStandIn journal;
  ASSERT_TRUE(journal.bound());
  const auto run = [&](const std::string& root) {
    {
      // Single-thread mode: a folded run of errors ends in a summary at their level.
      TFileLog log("UpdateCheck", root, "", {floNoIndex}, flsDay, flsDay);
      log.Log(0, "progress");
      log.Log(2, "failed");
      gNowMs += 5;
      log.Log(2, "failed");
      log.Log(1, "server=10.0.0.5");
      log.Log(7, "other level");
    }
    {
      // Multi-thread mode: the second entry of a second takes the concurrent path.
      TFileLog log("", root, "", {floMultiThread, floNoIndex}, flsDay, flsDay);
      log.Log(2, "first");
      log.Log(2, "second");
      log.Log(0, "quiet");
    }
  };
  InitFileLog(root_);
  EnableSystemJournal(journal.path(), (dir_ / "no-syslog").string());
  run(root_);
  DisableSystemJournal();
  EXPECT_THAT(journal.Entries(),
              ::testing::ElementsAre("6 254 UpdateCheck: ****** Log Begin ******", "3 2 UpdateCheck: failed",
                                     "3 2 UpdateCheck: 重复调用1次, 最大间隔5毫秒, 最小间隔5毫秒",
                                     "4 1 UpdateCheck: server=10.0.0.5", "6 255 UpdateCheck: ****** Log End ******",
                                     "6 254 common_tests: ****** Log Begin ******", "3 2 common_tests: first",
                                     "3 2 common_tests: second", "6 255 common_tests: ****** Log End ******"));

  // The files are the same as without the journal.
  const std::string plainRoot = (dir_ / "Plain").string() + "/";
  InitFileLog(plainRoot);
  gNowMs = kT0;
  run(plainRoot);
  EXPECT_TRUE(journal.Entries().empty());
  for (const char* file : {"UpdateCheck.log", "common_tests.log"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(ReadFile(Day() / file), ReadFile(fs::path(plainRoot) / "2024-01-15" / file));
    EXPECT_THAT(ReadFile(Day() / file), HasSubstr("****** Log End ******"));
  }
}

}  // namespace
}  // namespace zent
