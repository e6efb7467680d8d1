// A registry hive held as ".reg" export text: ordered keys ("[HKEY_...\Path]") with
// ordered value lines. Pure text processing, no system calls: parse from bytes,
// change string and 32-bit values, serialise to bytes.
// Everything the hive does not change (comments, values of other types, unknown or
// damaged lines) is written back exactly as it was read, so a rewrite loses nothing.
// Input may be UTF-16LE with a byte order mark (as Windows exports) or UTF-8 with or
// without one; output is UTF-8 without one. Damaged input parses as far as it can:
// a line that is not understood is kept as an opaque line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zent::platform {

enum class RegValueType {
  String,  // "text", hex(1): or hex(2):
  Dword,   // dword:xxxxxxxx or hex(4): with four bytes
  Other,   // any other type, kept as text
};

struct RegValue {
  std::string name;  // empty for the default value "@"
  RegValueType type = RegValueType::Other;
  std::string text;  // String: the decoded text; Other: the data after "=" as written
  uint32_t dword = 0;

  bool operator==(const RegValue&) const = default;
};

struct RegKeyView {
  std::string name;  // full path as written in the brackets
  std::vector<RegValue> values;

  bool operator==(const RegKeyView&) const = default;
};

class RegHive {
 public:
  inline static constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

  static RegHive Parse(std::string_view bytes);
  std::string Serialise() const;

  // Key paths compare without (ASCII) case. A key exists when it has a section of its
  // own or any key below it has one, as importing such a file would create it.
  bool HasKey(std::string_view key) const;
  // Appends an empty section for the key unless it exists.
  void AddKey(std::string_view key);

  // The value as the last of its lines says (a later line overrides an earlier one);
  // value names compare without case. Null when missing.
  const RegValue* FindValue(std::string_view key, std::string_view name) const;
  // Replaces the value's last line, or adds a line to the key (created when missing).
  // A string stops at its first NUL, as a registry string does.
  void SetString(std::string_view key, std::string_view name, std::string_view value);
  void SetDword(std::string_view key, std::string_view name, uint32_t value);

  // Every section in file order with its values (for checks and diagnostics).
  std::vector<RegKeyView> Keys() const;

  // True when a key path or value name can be written as a line of the file.
  static bool IsValidKeyPath(std::string_view key);
  static bool IsValidValueName(std::string_view name);

 private:
  struct Entry {
    std::vector<std::string> lines;  // raw text, continuation lines included
    bool isValue = false;
    bool open = false;  // the last line asks for a continuation the file does not have
    RegValue value;
  };
  struct Section {
    std::string header;  // raw "[...]" line
    std::string name;
    std::vector<Entry> entries;
  };

  static Entry ParseEntry(const std::vector<std::string>& lines, size_t& i);
  static void CloseEntry(Entry& entry);
  Entry* FindEntry(std::string_view key, std::string_view name);
  Section& SectionFor(std::string_view key);
  void Set(std::string_view key, RegValue value);

  std::vector<std::string> preamble_;
  std::vector<Section> sections_;
  bool crlf_ = false;
};

}  // namespace zent::platform
