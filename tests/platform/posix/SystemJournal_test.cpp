// The journal sink against a socket of our own standing in for the journal (and for syslog):
// the fields arrive in the journal's native form, binary-safe where a value holds a line
// break; syslog gets one line when no journal is there; a full journal drops at once.
#include "platform/SystemJournal.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "support/posix/SocketFolder.h"

namespace zent::platform {
namespace {

using TempDir = zent::testing::SocketFolder;

// A bound datagram socket: what the journal or the syslog daemon would listen on.
class Listener {
 public:
  explicit Listener(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return;  // never bind a cut path
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // A small queue, so the full-journal case fills it quickly.
    const int size = 4096;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  ~Listener() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool bound() const { return bound_; }
  // The next datagram, or nullopt when none is waiting.
  std::optional<std::string> Receive() {
    std::string buffer(256 * 1024, '\0');
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<size_t>(n));
    return buffer;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

// The journal's native datagram read back: "KEY=value\n", or "KEY\n" + 64-bit little-endian
// length + value + "\n". Nullopt when the datagram breaks the form.
std::optional<std::map<std::string, std::string>> ParseNative(const std::string& datagram) {
  std::map<std::string, std::string> fields;
  size_t at = 0;
  while (at < datagram.size()) {
    const size_t end = datagram.find('\n', at);
    if (end == std::string::npos) return std::nullopt;
    const std::string line = datagram.substr(at, end - at);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) {
      fields[line.substr(0, equals)] = line.substr(equals + 1);
      at = end + 1;
      continue;
    }
    if (end + 9 > datagram.size()) return std::nullopt;
    uint64_t length = 0;
    for (int i = 8; i >= 1; --i) length = (length << 8) | static_cast<unsigned char>(datagram[end + i]);
    const size_t value = end + 9;
    if (value + length + 1 > datagram.size() || datagram[value + length] != '\n') return std::nullopt;
    fields[line] = datagram.substr(value, length);
    at = value + length + 1;
  }
  return fields;
}

JournalEntry Entry(JournalPriority priority, std::string_view message) {
  JournalEntry e;
  e.priority = priority;
  e.identifier = "Lumo7Browser";
  e.logName = "UpdateCheck";
  e.level = 2;
  e.threadId = 4312;
  e.message = message;
  return e;
}

TEST(SystemJournal, FieldsArriveInTheJournalsNativeForm) {
  TempDir dir;
  Listener journal(dir / "journal.socket");
  ASSERT_TRUE(journal.bound());
  SystemJournal sink(dir / "journal.socket", dir / "no-syslog");

  const struct {
    JournalPriority priority;
    std::string message;
  } cases[] = {
      {JournalPriority::kError, "连接服务器失败[10.0.0.5]"},
      {JournalPriority::kWarning, "two\r\nlines=and an equals sign"},
      {JournalPriority::kInfo, std::string("binary\0\xFF\n", 10)},
      {JournalPriority::kError, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(sink.Send(Entry(c.priority, c.message)), SystemJournal::Sent::kJournal);
    const auto datagram = journal.Receive();
    ASSERT_TRUE(datagram);
    const auto fields = ParseNative(*datagram);
    ASSERT_TRUE(fields) << *datagram;
    EXPECT_EQ(fields->at("MESSAGE"), c.message);
    EXPECT_EQ(fields->at("PRIORITY"), std::to_string(static_cast<int>(c.priority)));
    EXPECT_EQ(fields->at("SYSLOG_IDENTIFIER"), "Lumo7Browser");
    EXPECT_EQ(fields->at("ZENT_LOG"), "UpdateCheck");
    EXPECT_EQ(fields->at("ZENT_LEVEL"), "2");
    EXPECT_EQ(fields->at("TID"), "4312");
  }

  // A message beyond one datagram's share is cut at a character's start.
  std::string longMessage(SystemJournal::kMaxMessageBytes - 1, 'a');
  longMessage += "中文";
  EXPECT_EQ(sink.Send(Entry(JournalPriority::kError, longMessage)), SystemJournal::Sent::kJournal);
  const auto datagram = journal.Receive();
  ASSERT_TRUE(datagram);
  EXPECT_EQ(ParseNative(*datagram)->at("MESSAGE"), longMessage.substr(0, SystemJournal::kMaxMessageBytes - 1));
}

TEST(SystemJournal, SyslogGetsTheEntryWhereNoJournalRuns) {
  TempDir dir;
  Listener syslog(dir / "log");
  ASSERT_TRUE(syslog.bound());
  {
    // A journal socket file nobody listens on any more counts as no journal.
    Listener stale(dir / "stale.socket");
  }
  for (const std::string& journal : {dir / "missing.socket", dir / "stale.socket"}) {
    SystemJournal sink(journal, dir / "log");
    EXPECT_EQ(sink.Send(Entry(JournalPriority::kWarning, "line one\nline two")), SystemJournal::Sent::kSyslog);
    const auto line = syslog.Receive();
    ASSERT_TRUE(line);
    // Facility "user" (8) + warning (4); the program, its process and the log's name and level.
    EXPECT_EQ(line->substr(0, 4), "<12>");
    EXPECT_NE(line->find(" Lumo7Browser[" + std::to_string(::getpid()) + "]: [UpdateCheck:2] line one\nline two"),
              std::string::npos)
        << *line;
  }

  SystemJournal nowhere(dir / "missing.socket", dir / "missing.log");
  EXPECT_EQ(nowhere.Send(Entry(JournalPriority::kError, "x")), SystemJournal::Sent::kDropped);
}

TEST(SystemJournal, AFullJournalDropsWithoutWaiting) {
  TempDir dir;
  Listener journal(dir / "journal.socket");
  ASSERT_TRUE(journal.bound());
  SystemJournal sink(dir / "journal.socket", dir / "log");
  Listener syslog(dir / "log");
  const std::string message(2000, 'x');
  // Nobody reads: the queue fills and the next entry is dropped at once, not sent to syslog.
  int sent = 0;
  const auto start = std::chrono::steady_clock::now();
  while (sent < 100000 && sink.Send(Entry(JournalPriority::kError, message)) == SystemJournal::Sent::kJournal) ++sent;
  EXPECT_LT(sent, 100000) << "the journal's queue never filled";
  EXPECT_EQ(sink.Send(Entry(JournalPriority::kError, message)), SystemJournal::Sent::kDropped);
  EXPECT_FALSE(syslog.Receive());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // Once read, entries go through again.
  while (journal.Receive()) {
  }
  EXPECT_EQ(sink.Send(Entry(JournalPriority::kError, "after")), SystemJournal::Sent::kJournal);
}

}  // namespace
}  // namespace zent::platform
