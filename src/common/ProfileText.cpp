#include "common/ProfileText.h"

#include <vector>

#include "common/Encoding.h"
#include "common/Format.h"

namespace zent {
namespace {

using TextEncoding = ProfileText::TextEncoding;

// One physical line: [begin, contentEnd) is its text, [contentEnd, next) its line break.
struct RawLine {
  size_t begin = 0;
  size_t contentEnd = 0;
  size_t next = 0;
  bool hasBreak = false;
};

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, quotes still on
};

size_t BomSize(TextEncoding e) {
  switch (e) {
    case TextEncoding::Utf8Bom: return 3;
    case TextEncoding::Utf16Le: return 2;
    case TextEncoding::Utf8: break;
  }
  return 0;
}

TextEncoding Detect(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return TextEncoding::Utf8Bom;
  if (bytes.substr(0, 2) == "\xFF\xFE") return TextEncoding::Utf16Le;
  return TextEncoding::Utf8;
}

// Walks the lines of the text once. CR LF, LF and a lone CR each end a line, as they do
// for the Windows profile functions. Every step is linear, whatever the input.
class LineScanner {
 public:
  LineScanner(std::string_view bytes, TextEncoding enc)
      : bytes_(bytes), enc_(enc), pos_(BomSize(enc)) {
    end_ = bytes.size();
    // A UTF-16 text with an odd byte at its end: the stray byte belongs to no line.
    if (enc_ == TextEncoding::Utf16Le) end_ = pos_ + ((end_ - pos_) & ~size_t{1});
  }

  // Where the text's lines end (before a stray trailing byte of a UTF-16 text).
  size_t End() const { return end_; }

  bool Next(RawLine& line) {
    if (pos_ >= end_) return false;
    line.begin = pos_;
    const size_t unit = enc_ == TextEncoding::Utf16Le ? 2 : 1;
    size_t i = pos_;
    while (i < end_ && Unit(i) != '\r' && Unit(i) != '\n') i += unit;
    line.contentEnd = i;
    line.hasBreak = i < end_;
    if (i < end_) {
      const bool cr = Unit(i) == '\r';
      i += unit;
      if (cr && i < end_ && Unit(i) == '\n') i += unit;
    }
    line.next = pos_ = i;
    return true;
  }

  // The line's text as UTF-8; UTF-16 lines are converted into `scratch`.
  std::string_view Content(const RawLine& line, std::string& scratch) const {
    const std::string_view raw = bytes_.substr(line.begin, line.contentEnd - line.begin);
    if (enc_ != TextEncoding::Utf16Le) return raw;
    scratch = Utf16leToUtf8(raw);
    return scratch;
  }

 private:
  char16_t Unit(size_t i) const {
    const auto lo = static_cast<unsigned char>(bytes_[i]);
    if (enc_ != TextEncoding::Utf16Le) return lo;
    return static_cast<char16_t>(lo | (static_cast<unsigned char>(bytes_[i + 1]) << 8));
  }

  std::string_view bytes_;
  TextEncoding enc_;
  size_t pos_;
  size_t end_;
};

ParsedLine Parse(std::string_view content) {
  ParsedLine p;
  const std::string_view t = Trim(content);
  if (t.empty()) {
    p.kind = LineKind::Blank;
  } else if (t.front() == ';') {
    p.kind = LineKind::Comment;
  } else if (t.front() == '[' && t.rfind(']') != std::string_view::npos) {
    p.kind = LineKind::Section;
    p.name = Trim(t.substr(1, t.rfind(']') - 1));
  } else if (const auto eq = t.find('='); eq != std::string_view::npos) {
    p.kind = LineKind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
  }
  return p;
}

std::string CleanValue(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  if (const auto nul = v.find('\0'); nul != std::string_view::npos) v = v.substr(0, nul);
  // Damaged bytes become U+FFFD so that callers always get valid UTF-8.
  return Utf16ToUtf8(Utf8ToUtf16(v));
}

// Line breaks and NUL end a line or a value; damaged UTF-8 would read back as U+FFFD.
bool Unstorable(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
         Utf16ToUtf8(Utf8ToUtf16(s)) != s;
}

void CheckNames(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || Trim(section) != section || Unstorable(section) ||
      section.find(']') != std::string_view::npos)
    throw EProfileError(Format("无效的配置节名[%.*s]。", static_cast<int>(section.size()),
                               section.data()));
  if (key.empty() || Trim(key) != key || Unstorable(key) ||
      key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[')
    throw EProfileError(
        Format("无效的配置项名[%.*s]。", static_cast<int>(key.size()), key.data()));
  // A line break in a value would start a new line, that is a new key or section of the
  // writer's choosing.
  if (Unstorable(value))
    throw EProfileError(Format("无效的配置值[%.*s]。", static_cast<int>(key.size()),
                               key.data()));
}

}  // namespace

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)), encoding_(Detect(bytes_)) {}

std::optional<std::string> ProfileText::Find(std::string_view section,
                                             std::string_view key) const {
  LineScanner scan(bytes_, encoding_);
  RawLine line;
  std::string scratch;
  bool inSection = false;
  while (scan.Next(line)) {
    const ParsedLine p = Parse(scan.Content(line, scratch));
    if (p.kind == LineKind::Section) {
      // Only the first section of a name counts; a later one of the same name is never read.
      if (inSection) return std::nullopt;
      inSection = EqualsNoCase(p.name, section);
    } else if (inSection && p.kind == LineKind::Key && EqualsNoCase(p.name, key)) {
      return CleanValue(p.value);
    }
  }
  return std::nullopt;
}

std::vector<ProfileText::Entry> ProfileText::Entries() const {
  LineScanner scan(bytes_, encoding_);
  RawLine line;
  std::string scratch;
  std::optional<std::string> section;
  std::vector<Entry> entries;
  while (scan.Next(line)) {
    const ParsedLine p = Parse(scan.Content(line, scratch));
    if (p.kind == LineKind::Section) {
      section = Utf16ToUtf8(Utf8ToUtf16(p.name));
    } else if (section && p.kind == LineKind::Key) {
      entries.push_back({*section, Utf16ToUtf8(Utf8ToUtf16(p.name)), CleanValue(p.value)});
    }
  }
  return entries;
}

void ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  CheckNames(section, key, value);

  LineScanner scan(bytes_, encoding_);
  RawLine line;
  std::string scratch;
  bool inSection = false;
  bool sectionFound = false;
  RawLine anchor;              // the section's last non-blank line: new keys go after it
  RawLine last;                // the text's last line
  bool lastBlank = true;
  std::string_view eol;        // the text's own line break, from its first line
  std::optional<RawLine> keyLine;
  std::string keyName;         // the key as the file spells it

  while (scan.Next(line)) {
    if (eol.empty() && line.hasBreak) {
      std::string b;
      const std::string_view brk = scan.Content({line.contentEnd, line.next, line.next, false}, b);
      eol = (brk == "\n") ? "\n" : "\r\n";
    }
    const ParsedLine p = Parse(scan.Content(line, scratch));
    if (p.kind == LineKind::Section) {
      if (inSection) break;
      if (!sectionFound && EqualsNoCase(p.name, section)) {
        inSection = sectionFound = true;
        anchor = line;
      }
    } else if (inSection && p.kind == LineKind::Key && EqualsNoCase(p.name, key)) {
      keyLine = line;
      keyName = p.name;
      break;
    } else if (inSection && p.kind != LineKind::Blank) {
      anchor = line;
    }
    last = line;
    lastBlank = p.kind == LineKind::Blank;
  }
  if (eol.empty()) eol = "\r\n";

  auto encode = [this](std::string_view utf8) {
    return encoding_ == TextEncoding::Utf16Le ? Utf8ToUtf16le(utf8) : std::string(utf8);
  };
  const std::string entry = std::string(keyName.empty() ? key : keyName) + "=" + std::string(value);

  if (keyLine) {
    bytes_.replace(keyLine->begin, keyLine->contentEnd - keyLine->begin, encode(entry));
  } else if (sectionFound) {
    const std::string text = anchor.hasBreak ? entry + std::string(eol) : std::string(eol) + entry;
    bytes_.insert(anchor.next, encode(text));
  } else {
    std::string text;
    if (scan.End() > BomSize(encoding_)) {
      if (!last.hasBreak) text += eol;
      if (!lastBlank) text += eol;  // a blank line between sections, for the reader's eye
    }
    text += "[" + std::string(section) + "]" + std::string(eol) + entry + std::string(eol);
    bytes_.insert(scan.End(), encode(text));
  }
}

}  // namespace zent
