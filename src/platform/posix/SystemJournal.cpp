// POSIX: one unbound, non-blocking AF_UNIX datagram socket; each entry is one sendmsg to the
// journal's or the syslog's address, gathered from the caller's texts without copying them.
#include "platform/SystemJournal.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

namespace zent::platform {

struct SystemJournal::Sockets {
  int fd = -1;
  sockaddr_un journal{};
  sockaddr_un syslog{};
  bool haveJournal = false;
  bool haveSyslog = false;
};

namespace {

bool MakeAddress(std::string_view path, sockaddr_un& address) {
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  address.sun_path[path.size()] = '\0';
  return true;
}

enum class Outcome { kSent, kAbsent, kFailed };

// The socket is not there (or nobody listens on it): the next sink may be tried.
Outcome SendTo(int fd, const sockaddr_un& to, iovec* parts, size_t count) {
  msghdr message{};
  message.msg_name = const_cast<sockaddr_un*>(&to);
  message.msg_namelen = sizeof to;
  message.msg_iov = parts;
  message.msg_iovlen = count;
  while (true) {
    if (::sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return Outcome::kSent;
    if (errno == EINTR) continue;
    if (errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR || errno == ENOTSOCK ||
        errno == EPROTOTYPE)
      return Outcome::kAbsent;
    return Outcome::kFailed;  // EAGAIN among them: a full journal drops the entry
  }
}

// The length of `text` cut to at most `limit` bytes at the start of a UTF-8 character.
size_t CutLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// Gathers one native journal datagram: fixed texts in a small buffer of our own, the
// caller's texts by reference.
class JournalDatagram {
 public:
  void Field(std::string_view key, std::string_view value) {
    if (count_ + 4 > kMaxParts) return;
    if (value.find('\n') == std::string_view::npos) {
      Add(Keep(key));
      Add(Keep("="));
      Add(value);
      Add(Keep("\n"));
      return;
    }
    // KEY, a line break, the value's length as 64-bit little endian, the value, a line break.
    Add(Keep(key));
    char length[9] = {'\n'};
    uint64_t n = value.size();
    for (int i = 1; i <= 8; ++i, n >>= 8) length[i] = static_cast<char>(n & 0xFF);
    Add(Keep(std::string_view(length, sizeof length)));
    Add(value);
    Add(Keep("\n"));
  }
  void Field(std::string_view key, uint32_t value) {
    char digits[10];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Field(key, Keep(std::string_view(digits, static_cast<size_t>(end - digits))));
  }
  iovec* Parts() { return parts_; }
  size_t Count() const { return count_; }

 private:
  static constexpr size_t kMaxParts = 32;

  void Add(std::string_view text) {
    parts_[count_].iov_base = const_cast<char*>(text.data());
    parts_[count_].iov_len = text.size();
    ++count_;
  }
  // A copy in the datagram's own buffer (which never moves while the datagram lives).
  std::string_view Keep(std::string_view text) {
    if (used_ + text.size() > sizeof buffer_) return {};
    char* at = buffer_ + used_;
    std::memcpy(at, text.data(), text.size());
    used_ += text.size();
    return {at, text.size()};
  }

  iovec parts_[kMaxParts]{};
  size_t count_ = 0;
  char buffer_[512];
  size_t used_ = 0;
};

}  // namespace

SystemJournal::SystemJournal(std::string_view journalSocket, std::string_view syslogSocket) noexcept {
  try {
    sockets_ = std::make_unique<Sockets>();
  } catch (...) {
    return;  // no memory at start: the journal stays silent
  }
  sockets_->haveJournal = MakeAddress(journalSocket, sockets_->journal);
  sockets_->haveSyslog = MakeAddress(syslogSocket, sockets_->syslog);
  sockets_->fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

SystemJournal::~SystemJournal() {
  if (sockets_ && sockets_->fd >= 0) ::close(sockets_->fd);
}

SystemJournal::Sent SystemJournal::Send(const JournalEntry& entry) const noexcept {
  if (!sockets_ || sockets_->fd < 0) return Sent::kDropped;
  const int fd = sockets_->fd;
  const std::string_view message = entry.message.substr(0, CutLength(entry.message, kMaxMessageBytes));

  if (sockets_->haveJournal) {
    JournalDatagram datagram;
    datagram.Field("PRIORITY", static_cast<uint32_t>(entry.priority));
    datagram.Field("SYSLOG_IDENTIFIER", entry.identifier);
    datagram.Field("ZENT_LOG", entry.logName);
    datagram.Field("ZENT_LEVEL", entry.level);
    datagram.Field("TID", entry.threadId);
    datagram.Field("MESSAGE", message);
    switch (SendTo(fd, sockets_->journal, datagram.Parts(), datagram.Count())) {
      case Outcome::kSent: return Sent::kJournal;
      case Outcome::kFailed: return Sent::kDropped;
      case Outcome::kAbsent: break;
    }
  }
  if (!sockets_->haveSyslog) return Sent::kDropped;

  // "<PRI>Mmm dd hh:mm:ss ident[pid]: [log:level] message", facility "user".
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  char head[64];
  const int headLength = std::snprintf(head, sizeof head, "<%u>%s %2d %02d:%02d:%02d ",
                                       8u + static_cast<unsigned>(entry.priority), kMonths[local.tm_mon % 12],
                                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  char pid[48];
  const int pidLength = std::snprintf(pid, sizeof pid, "[%d]: [", static_cast<int>(::getpid()));
  char level[16];
  const int levelLength = std::snprintf(level, sizeof level, ":%u] ", entry.level);
  const std::string_view identifier = entry.identifier.substr(0, 64);
  const std::string_view logName = entry.logName.substr(0, 64);
  const std::string_view line = message.substr(0, CutLength(message, kMaxSyslogBytes));
  iovec parts[] = {
      {head, static_cast<size_t>(headLength)},
      {const_cast<char*>(identifier.data()), identifier.size()},
      {pid, static_cast<size_t>(pidLength)},
      {const_cast<char*>(logName.data()), logName.size()},
      {level, static_cast<size_t>(levelLength)},
      {const_cast<char*>(line.data()), line.size()},
  };
  return SendTo(fd, sockets_->syslog, parts, std::size(parts)) == Outcome::kSent ? Sent::kSyslog : Sent::kDropped;
}

}  // namespace zent::platform
