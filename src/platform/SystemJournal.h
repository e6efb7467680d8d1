// The machine's journal, so that a chain can collect the logs of its tills centrally with
// the system's own tools. An entry goes to the journal's socket in its native datagram form
// ("KEY=value" lines; a value holding a line break in the length-prefixed form); where no
// journal runs, to the syslog socket as one traditional line; where neither exists it is
// dropped. Windows has neither: every entry is dropped there.
// Contract: Send never throws, never blocks (a full journal drops the entry rather than stall
// the caller), allocates nothing and may be called from any number of threads at once. The
// socket paths are parameters so a test can stand in for the journal.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace zent::platform {

inline constexpr const char* kJournalSocket = "/run/systemd/journal/socket";
inline constexpr const char* kSyslogSocket = "/dev/log";

// The syslog severities the journal's PRIORITY field takes.
enum class JournalPriority : uint8_t { kError = 3, kWarning = 4, kInfo = 6 };

struct JournalEntry {
  JournalPriority priority = JournalPriority::kInfo;
  std::string_view identifier;  // SYSLOG_IDENTIFIER: the program's name
  std::string_view logName;     // ZENT_LOG: which of the program's logs
  unsigned level = 0;           // ZENT_LEVEL: the entry's level in that log
  uint32_t threadId = 0;        // TID
  std::string_view message;     // MESSAGE: any bytes; cut after kMaxMessageBytes
};

class SystemJournal {
 public:
  // Longer messages are cut (at a UTF-8 character's start) to stay one datagram.
  static constexpr size_t kMaxMessageBytes = 48 * 1024;
  // Syslog daemons commonly take lines of 8 KiB.
  static constexpr size_t kMaxSyslogBytes = 8000;

  enum class Sent { kJournal, kSyslog, kDropped };

  explicit SystemJournal(std::string_view journalSocket = kJournalSocket,
                         std::string_view syslogSocket = kSyslogSocket) noexcept;
  ~SystemJournal();
  SystemJournal(const SystemJournal&) = delete;
  SystemJournal& operator=(const SystemJournal&) = delete;

  // The journal when its socket is there, else syslog when its socket is there.
  Sent Send(const JournalEntry& entry) const noexcept;

 private:
  struct Sockets;  // the system's addresses and our socket
  std::unique_ptr<Sockets> sockets_;
};

}  // namespace zent::platform
