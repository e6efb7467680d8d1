// Renaming a finished file over its final name on Windows (win32 implementation files only).
// Another program that has the old file open without delete sharing (a virus scanner, a
// search indexer, a reader opened the ordinary way) makes the rename fail for as long as it
// holds the file; those holds are short, so the rename is tried again for a little while.
#pragma once

#include <string>
#include <system_error>

namespace zent::platform::win32 {

// MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), tried again on a
// sharing, lock or access violation for at most kMoveOverPatienceMs in all; any other failure,
// and the last one of those, is returned at once.
inline constexpr unsigned kMoveOverPatienceMs = 1000;
std::error_code MoveOver(const std::wstring& from, const std::wstring& to);

}  // namespace zent::platform::win32
