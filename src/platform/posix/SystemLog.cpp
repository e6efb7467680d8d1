// POSIX: syslog(3) with the facility LOG_AUTHPRIV (what a program run through sudo does is an
// authorisation matter), opened once.
#include "platform/SystemLog.h"

#include <syslog.h>

#include <mutex>
#include <string>

namespace zent::platform {

void WriteSystemLog(std::string_view ident, std::string_view line) noexcept {
  try {
    static const std::string kept(ident);  // openlog keeps the pointer
    static std::once_flag opened;
    std::call_once(opened, [] { ::openlog(kept.c_str(), LOG_PID, LOG_AUTHPRIV); });
    const std::string text(line);
    ::syslog(LOG_NOTICE, "%s", text.c_str());
  } catch (...) {
  }
}

}  // namespace zent::platform
