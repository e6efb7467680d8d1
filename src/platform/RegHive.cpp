#include "platform/RegHive.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>

namespace zent::platform {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at s[0] == '"', undoing \\ and \" (any other backslash
// stays as written). Returns the length consumed, or 0 when the closing quote is missing.
size_t ParseQuoted(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') return i + 1;
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[++i];
    } else {
      out += c;
    }
  }
  return 0;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// "01,02, ab" to bytes; false when anything else is there.
bool ParseHexBytes(std::string_view list, std::string& bytes) {
  bytes.clear();
  list = Trim(list);
  if (list.empty()) return true;
  size_t pos = 0;
  for (;;) {
    const size_t comma = list.find(',', pos);
    const std::string_view tok = Trim(list.substr(pos, comma == std::string_view::npos ? list.npos : comma - pos));
    if (tok.empty() || tok.size() > 2) return false;
    int v = 0;
    for (char c : tok) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + d;
    }
    bytes += static_cast<char>(v);
    if (comma == std::string_view::npos) return true;
    pos = comma + 1;
  }
}

std::string HexList(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ',';
    const auto b = static_cast<unsigned char>(bytes[i]);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// Classifies the data after "=". `data` already holds continuation lines joined, with
// their backslashes removed.
void ClassifyData(std::string_view data, RegValue& v) {
  v.type = RegValueType::Other;
  v.text = std::string(data);
  v.dword = 0;
  if (StartsWithNoCase(data, "dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return;
    uint32_t n = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    v.type = RegValueType::Dword;
    v.dword = n;
    v.text.clear();
    return;
  }
  const bool sz = StartsWithNoCase(data, "hex(1):") || StartsWithNoCase(data, "hex(2):");
  const bool dw = StartsWithNoCase(data, "hex(4):");
  if (!sz && !dw) return;
  std::string bytes;
  if (!ParseHexBytes(data.substr(7), bytes)) return;
  if (sz) {
    v.type = RegValueType::String;
    v.text = Utf16leToUtf8(bytes, true);
  } else if (bytes.size() == 4) {
    v.type = RegValueType::Dword;
    v.text.clear();
    for (int i = 3; i >= 0; --i) v.dword = (v.dword << 8) | static_cast<unsigned char>(bytes[i]);
  }
}

// Splits a value line into its name and the data after "=". False when the line is
// not a value line (no closing quote, no "=").
bool SplitValueLine(std::string_view line, std::string& name, std::string_view& data) {
  line = TrimLeft(line);
  size_t pos;
  if (!line.empty() && line[0] == '@') {
    name.clear();
    pos = 1;
  } else if (!line.empty() && line[0] == '"') {
    pos = ParseQuoted(line, name);
    if (pos == 0) return false;
  } else {
    return false;
  }
  std::string_view rest = TrimLeft(line.substr(pos));
  if (rest.empty() || rest[0] != '=') return false;
  data = Trim(rest.substr(1));
  return true;
}

bool EndsWithBackslash(std::string_view s) {
  s = TrimRight(s);
  return !s.empty() && s.back() == '\\';
}

std::string FormatValueLine(const RegValue& v) {
  std::string line = v.name.empty() ? "@" : Quote(v.name);
  line += '=';
  if (v.type == RegValueType::Dword) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
    line += buf;
  } else if (v.text.find_first_of("\r\n") != std::string::npos) {
    // A line break cannot stand in a quoted text: the string goes in its binary form.
    line += "hex(1):" + HexList(Utf8ToUtf16le(v.text) + std::string(2, '\0'));
  } else {
    line += Quote(v.text);
  }
  return line;
}

bool IsSectionLine(std::string_view line, std::string& name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  name = std::string(line.substr(1, line.size() - 2));
  return true;
}

}  // namespace

RegHive::Entry RegHive::ParseEntry(const std::vector<std::string>& lines, size_t& i) {
  Entry entry;
  entry.lines.push_back(lines[i]);
  std::string_view data;
  if (!SplitValueLine(lines[i], entry.value.name, data)) return entry;
  if (!data.empty() && data.front() == '"') {
    std::string str;
    const size_t used = ParseQuoted(data, str);
    if (used == 0 || used != data.size()) return Entry{{lines[i]}, false, false, {}};  // unterminated or trailing text
    entry.isValue = true;
    entry.value.type = RegValueType::String;
    entry.value.text = std::move(str);
    return entry;
  }
  entry.isValue = true;
  // Values of binary types continue on the next line after a trailing backslash.
  std::string joined(data);
  while (EndsWithBackslash(joined) && i + 1 < lines.size()) {
    joined = std::string(TrimRight(joined));
    joined.pop_back();
    entry.lines.push_back(lines[++i]);
    joined += Trim(lines[i]);
  }
  entry.open = EndsWithBackslash(joined);
  ClassifyData(joined, entry.value);
  return entry;
}

void RegHive::CloseEntry(Entry& entry) {
  if (!entry.open) return;
  // A blank line ends the continuation, so a line added after it stays a line of its own.
  // Each blank line takes one backslash; data may end in several ("\\\r\\").
  std::vector<std::string> lines = entry.lines;
  while (entry.open) {
    lines.push_back("");
    size_t i = 0;
    entry = ParseEntry(lines, i);
  }
}

RegHive RegHive::Parse(std::string_view bytes) {
  std::string decoded;
  std::string_view text = bytes;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    decoded = Utf16leToUtf8(bytes.substr(2), false);
    text = decoded;
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }

  RegHive hive;
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') {
      if (lines.empty() && !last) hive.crlf_ = true;
      line.remove_suffix(1);
    }
    lines.emplace_back(line);
    pos = end + 1;
  }

  Section* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string sectionName;
    if (IsSectionLine(lines[i], sectionName)) {
      hive.sections_.push_back({lines[i], std::move(sectionName), {}});
      current = &hive.sections_.back();
      continue;
    }
    if (!current) {
      hive.preamble_.push_back(std::move(lines[i]));
      continue;
    }
    Entry entry = ParseEntry(lines, i);
    current->entries.push_back(std::move(entry));
  }
  return hive;
}

std::string RegHive::Serialise() const {
  const char* nl = crlf_ ? "\r\n" : "\n";
  std::string out;
  auto put = [&](const std::string& line) {
    out += line;
    out += nl;
  };
  // The header keeps the file importable and makes its first bytes unambiguous.
  if (preamble_.empty() || (preamble_[0] != kHeader && preamble_[0] != "REGEDIT4")) {
    put(std::string(kHeader));
    put("");
  }
  for (const auto& line : preamble_) put(line);
  for (const auto& s : sections_) {
    put(s.header);
    for (const auto& e : s.entries) {
      for (const auto& line : e.lines) put(line);
    }
  }
  return out;
}

bool RegHive::HasKey(std::string_view key) const {
  for (const auto& s : sections_) {
    if (EqualsNoCase(s.name, key)) return true;
    if (s.name.size() > key.size() && StartsWithNoCase(s.name, key) && s.name[key.size()] == '\\') {
      return true;
    }
  }
  return false;
}

void RegHive::AddKey(std::string_view key) {
  if (!HasKey(key)) SectionFor(key);
}

const RegValue* RegHive::FindValue(std::string_view key, std::string_view name) const {
  // The search changes nothing; one body serves both constness.
  const Entry* e = const_cast<RegHive*>(this)->FindEntry(key, name);
  return e ? &e->value : nullptr;
}

RegHive::Entry* RegHive::FindEntry(std::string_view key, std::string_view name) {
  Entry* found = nullptr;
  for (auto& s : sections_) {
    if (!EqualsNoCase(s.name, key)) continue;
    for (auto& e : s.entries) {
      if (e.isValue && EqualsNoCase(e.value.name, name)) found = &e;
    }
  }
  return found;
}

RegHive::Section& RegHive::SectionFor(std::string_view key) {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
    if (EqualsNoCase(it->name, key)) return *it;
  }
  if (preamble_.empty() && sections_.empty()) preamble_ = {std::string(kHeader), ""};
  // A blank line before a new section, as an export has.
  const std::string* lastLine = nullptr;
  if (!sections_.empty()) {
    Section& s = sections_.back();
    if (!s.entries.empty()) CloseEntry(s.entries.back());
    lastLine = s.entries.empty() ? &s.header : &s.entries.back().lines.back();
    if (!Trim(*lastLine).empty()) sections_.back().entries.push_back({{""}, false, false, {}});
  } else if (!preamble_.empty() && !Trim(preamble_.back()).empty()) {
    preamble_.push_back("");
  }
  const std::string name(key);
  sections_.push_back({"[" + name + "]", name, {{{""}, false, false, {}}}});
  return sections_.back();
}

void RegHive::Set(std::string_view key, RegValue value) {
  Entry* existing = FindEntry(key, value.name);
  if (existing) value.name = existing->value.name;  // keep the name's spelling as the file has it
  // The entry is what its line reads back as (a string in binary form holds only
  // well-formed UTF-8), so the hive in memory never differs from the file.
  size_t first = 0;
  Entry fresh = ParseEntry({FormatValueLine(value)}, first);
  if (existing) {
    *existing = std::move(fresh);
    return;
  }
  Section& s = SectionFor(key);
  // After the last line that is not blank, so the blank line between sections stays.
  auto pos = s.entries.end();
  while (pos != s.entries.begin()) {
    const auto& prev = *(pos - 1);
    if (prev.isValue || prev.lines.size() != 1 || !Trim(prev.lines[0]).empty()) break;
    --pos;
  }
  if (pos != s.entries.begin()) CloseEntry(*(pos - 1));
  s.entries.insert(pos, std::move(fresh));
}

void RegHive::SetString(std::string_view key, std::string_view name, std::string_view value) {
  RegValue v;
  v.name = std::string(name);
  v.type = RegValueType::String;
  v.text = std::string(value.substr(0, value.find('\0')));
  Set(key, std::move(v));
}

void RegHive::SetDword(std::string_view key, std::string_view name, uint32_t value) {
  RegValue v;
  v.name = std::string(name);
  v.type = RegValueType::Dword;
  v.dword = value;
  Set(key, std::move(v));
}

std::vector<RegKeyView> RegHive::Keys() const {
  std::vector<RegKeyView> keys;
  keys.reserve(sections_.size());
  for (const auto& s : sections_) {
    RegKeyView k{s.name, {}};
    for (const auto& e : s.entries) {
      if (e.isValue) k.values.push_back(e.value);
    }
    keys.push_back(std::move(k));
  }
  return keys;
}

bool RegHive::IsValidKeyPath(std::string_view key) {
  return !key.empty() && key.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
         Trim(key) == key;
}

bool RegHive::IsValidValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace zent::platform
