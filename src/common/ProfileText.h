// The text of a profile (INI) file held in memory, with the lookup and edit rules of the
// Windows profile functions: "[section]" headers and "key=value" lines, names compared
// without ASCII case, the first matching section and the first matching key in it win,
// values trimmed of blanks with one pair of surrounding quotes removed, ";" comment lines.
// Edits keep every untouched byte. UTF-8 (with or without BOM) and UTF-16LE with BOM are
// understood; edits are written in the text's own encoding.
// Damaged input never fails: what does not parse is simply not a section or key line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Errors.h"

namespace zent {

ZENT_DECLARE_ERROR(EProfileError, Exception)  // a profile file could not be read or written

class ProfileText {
 public:
  enum class TextEncoding { Utf8, Utf8Bom, Utf16Le };

  ProfileText() = default;
  explicit ProfileText(std::string bytes);

  // The text as it would be written to disk, byte for byte.
  const std::string& Bytes() const { return bytes_; }
  TextEncoding Encoding() const { return encoding_; }

  // The value of `key` in the first section named `section`; nullopt when either is missing.
  // The value is valid UTF-8 (damaged bytes become U+FFFD) and ends at a NUL character,
  // as a caller's C string would.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Every key line under a section header, in file order, with its value cleaned as Find
  // cleans it. Repeated sections and keys are all listed; keys before the first header are not.
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Entry> Entries() const;

  // Sets `key` in the first section named `section`: an existing line is rewritten in place,
  // a new key goes after the last line of its section, a new section at the end.
  // Throws EProfileError for a name or value that could not be read back as written
  // (line breaks, NUL, "]" in a section name, "=" in a key, ...).
  void Set(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string bytes_;
  TextEncoding encoding_ = TextEncoding::Utf8;
};

}  // namespace zent
