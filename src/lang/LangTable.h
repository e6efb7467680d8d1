// The text table a language package is built from and dumped to: UTF-8, one line per text.
//
//   # comment
//   !ID<TAB>EN_US            the language identifier (header)
//   !Name<TAB>English        its display name (header)
//   提示<TAB>Notice           a text written in the code, then its translation
//
// In both columns "\t", "\n", "\r" and "\\" stand for tab, line feed, carriage return and a
// backslash; a text that starts with "#" or "!" is written "\#" or "\!". Line ends may be
// LF or CR LF; a UTF-8 byte-order mark at the start is ignored.
#pragma once

#include <string>
#include <string_view>

#include "common/Errors.h"
#include "lang/SRPackage.h"

namespace zent {

// A table that cannot be turned into a package: the message names the line.
ZENT_DECLARE_ERROR(ELangTableError, Exception)

// Throws ELangTableError for a line without a tab, an unknown "!" header, a bad escape,
// invalid UTF-8, a text listed twice or a missing "!ID".
TSRPackage ParseLangTable(std::string_view utf8);
// The table of a package, texts in key order; parsing it gives the same package.
std::string FormatLangTable(const TSRPackage& package);

}  // namespace zent
