#include "common/LogNames.h"

#include <bit>
#include <charconv>
#include <ctime>

#include "common/Encoding.h"
#include "common/Format.h"
#include "platform/LocalTime.h"

namespace zent {
namespace {

// Zero-padded decimal without printf: the stamp is built for every entry.
void AppendDigits(std::string& out, int value, int width) {
  char buf[16];
  int n = 0;
  unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0 && n < 16);
  while (n < width && n < 16) buf[n++] = '0';
  while (n > 0) out += buf[--n];
}

std::string Fields(const LogDateTime& t, std::string_view pattern) {
  // Pattern letters: Y year, M month, D day, H hour; anything else is copied.
  std::string out;
  for (char c : pattern) {
    switch (c) {
      case 'Y': AppendDigits(out, t.year, 4); break;
      case 'M': AppendDigits(out, t.month, 2); break;
      case 'D': AppendDigits(out, t.day, 2); break;
      case 'H': AppendDigits(out, t.hour, 2); break;
      default: out += c;
    }
  }
  return out;
}

std::string SecondsText(int64_t ms) {
  return Format("%lld.%03lld秒", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000));
}

}  // namespace

LogDateTime ToLogDateTime(LogTime t) noexcept {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
  int64_t secs = ms / 1000;
  int64_t rem = ms % 1000;
  if (rem < 0) {  // before 1970: floor, so the milliseconds stay positive
    rem += 1000;
    --secs;
  }
  LogDateTime out;
  std::tm tm{};
  if (platform::ToLocalTime(secs, tm)) {
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
  }
  out.millisecond = static_cast<int>(rem);
  return out;
}

std::string LogFolderPart(TFileLogSplit dir, const LogDateTime& t) {
  switch (dir) {
    case flsYear: return Fields(t, "Y");
    case flsMonth: return Fields(t, "Y-M");
    case flsDay: return Fields(t, "Y-M-D");
    case flsHour: return Fields(t, "Y-M-D.H");
    default: return {};
  }
}

std::string LogFilePart(TFileLogSplit dir, TFileLogSplit file, const LogDateTime& t) {
  switch (dir) {
    case flsNone:
      switch (file) {
        case flsYear: return Fields(t, "Y");
        case flsMonth: return Fields(t, "Y-M");
        case flsDay: return Fields(t, "Y-M-D");
        case flsHour: return Fields(t, "Y-M-D.H");
        default: return {};
      }
    case flsYear:
      switch (file) {
        case flsMonth: return Fields(t, "M");
        case flsDay: return Fields(t, "M-D");
        case flsHour: return Fields(t, "M-D.H");
        default: return {};
      }
    case flsMonth:
      switch (file) {
        case flsDay: return Fields(t, "D");
        case flsHour: return Fields(t, "D.H");
        default: return {};
      }
    case flsDay:
      return file == flsHour ? Fields(t, "H") : std::string();
    default:
      return {};
  }
}

void AppendLogStamp(std::string& out, const LogDateTime& t) {
  out += '[';
  AppendDigits(out, t.year, 4);
  out += '-';
  AppendDigits(out, t.month, 2);
  out += '-';
  AppendDigits(out, t.day, 2);
  out += ' ';
  AppendDigits(out, t.hour, 2);
  out += ':';
  AppendDigits(out, t.minute, 2);
  out += ':';
  AppendDigits(out, t.second, 2);
  out += '.';
  AppendDigits(out, t.millisecond, 3);
  out += ']';
}

std::string LogFileNameStamp(const LogDateTime& t) {
  std::string out;
  AppendLogStamp(out, t);
  for (char& c : out)
    if (c == ':') c = '.';
  return out;
}

std::string ElapsedText(int64_t ms) {
  if (ms < 1000) return Format("%lld毫秒", static_cast<long long>(ms));
  if (ms < 60000) return SecondsText(ms);
  if (ms < 3600000) return Format("%lld分钟", static_cast<long long>(ms / 60000)) + SecondsText(ms % 60000);
  return Format("%lld小时%lld分钟", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms % 3600000 / 60000)) +
         SecondsText(ms % 60000);
}

uint32_t LogNameHash(std::string_view utf8Name) {
  uint32_t hash = 0;
  for (char16_t c : Utf8ToUtf16(utf8Name)) hash = std::rotl(hash, 5) ^ static_cast<uint32_t>(c);
  return hash;
}

std::string LogNameHashText(uint32_t hash) { return Format("%02X", hash); }

std::optional<std::chrono::sys_days> ParseLogFolderDate(std::string_view name) {
  using namespace std::chrono;
  int parts[3];
  const char* p = name.data();
  const char* end = name.data() + name.size();
  const int widths[3][2] = {{4, 4}, {1, 2}, {1, 2}};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (p == end || *p != '-') return std::nullopt;
      ++p;
    }
    const char* start = p;
    while (p != end && *p >= '0' && *p <= '9') ++p;
    const auto len = p - start;
    if (len < widths[i][0] || len > widths[i][1]) return std::nullopt;
    std::from_chars(start, p, parts[i]);
  }
  if (p != end) return std::nullopt;
  const year_month_day ymd{year{parts[0]}, month{static_cast<unsigned>(parts[1])},
                           day{static_cast<unsigned>(parts[2])}};
  if (!ymd.ok()) return std::nullopt;
  return sys_days{ymd};
}

}  // namespace zent
