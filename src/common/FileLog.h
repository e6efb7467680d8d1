// TFileLog: the system's logging facility. Appends time-stamped UTF-8 entries to files that
// roll over by calendar period into dated folders under a root ("Logs/" beside the
// executable by default), removes dated folders older than 15 days, folds runs of identical
// entries into one summary line, and never lets a write failure reach the caller.
// AppLog() is the application log every module writes to.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zent {

enum TFileLogOption : uint8_t { floMultiThread = 0, floNoIndex = 1, floUnnecessary = 2 };

// A set of TFileLogOption: bit n for ordinal n.
class TFileLogOptions {
 public:
  constexpr TFileLogOptions() = default;
  constexpr TFileLogOptions(std::initializer_list<TFileLogOption> options) {
    for (auto o : options) bits_ |= static_cast<uint8_t>(1u << o);
  }
  constexpr bool Has(TFileLogOption o) const { return bits_ & (1u << o); }
  constexpr uint8_t Bits() const { return bits_; }

 private:
  uint8_t bits_ = 0;
};

enum TFileLogSplite : uint8_t { flsNone = 0, flsYear = 1, flsMonth = 2, flsDay = 3, flsHour = 4 };

using TLogLevel = uint8_t;   // what callers pass: 0..239
using TLogLevelF = uint8_t;  // 254 begin banner, 255 end banner

class TFileLog;

// The application log (created on first use, closed at process end).
TFileLog& AppLog();

}  // namespace zent
