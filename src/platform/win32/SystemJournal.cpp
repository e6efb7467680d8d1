// Windows keeps no journal and no syslog socket: every entry is dropped, as the contract says
// for a machine where neither exists. A chain that collects logs centrally on Windows reads the
// program's log files (or the Event Log entries of the update helper, see SystemLog).
#include "platform/SystemJournal.h"

namespace zent::platform {

struct SystemJournal::Sockets {};

SystemJournal::SystemJournal(std::string_view, std::string_view) noexcept {}

SystemJournal::~SystemJournal() = default;

SystemJournal::Sent SystemJournal::Send(const JournalEntry&) const noexcept { return Sent::kDropped; }

}  // namespace zent::platform
