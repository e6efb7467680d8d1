// The texts the file log builds from a time or a count: the entry time stamp, the dated
// folder and file name parts of each split, the emergency file's stamp, elapsed-time
// texts, the hash that keeps cleaned log names apart, and the date a folder name carries.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/FileLog.h"
#include "common/LogClock.h"

namespace zent {

// A log time in local calendar fields.
struct LogDateTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LogDateTime ToLogDateTime(LogTime t) noexcept;

// Folder part for the folder split ("" for flsNone).
std::string LogFolderPart(TFileLogSplit dir, const LogDateTime& t);
// File part for the file split below the folder split ("" when there is none).
std::string LogFilePart(TFileLogSplit dir, TFileLogSplit file, const LogDateTime& t);

// Appends "[YYYY-MM-DD HH:NN:SS.ZZZ]".
void AppendLogStamp(std::string& out, const LogDateTime& t);
// "[YYYY-MM-DD HH.NN.SS.ZZZ]": the stamp as it may appear in a file name.
std::string LogFileNameStamp(const LogDateTime& t);

// "999毫秒", "1.005秒", "1分钟1.000秒", "1小时0分钟0.000秒".
std::string ElapsedText(int64_t ms);

// Over the UTF-16 code units c of the name: hash = rotl(hash, 5) ^ c, from 0.
uint32_t LogNameHash(std::string_view utf8Name);
// Upper-case hexadecimal, at least two digits.
std::string LogNameHashText(uint32_t hash);

// The date a dated folder's name carries: "YYYY-M-D" (month and day of one or two digits)
// naming a real calendar day; anything else is no date.
std::optional<std::chrono::sys_days> ParseLogFolderDate(std::string_view name);

}  // namespace zent
