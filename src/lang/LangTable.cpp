#include "lang/LangTable.h"

#include "common/Encoding.h"
#include "common/Format.h"

namespace zent {
namespace {

[[noreturn]] void Fail(size_t line, const std::string& what) {
  throw ELangTableError(Format("第%zu行: %s", line, what.c_str()));
}

std::string Unescape(std::string_view text, size_t line) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) Fail(line, "行尾的\\没有转义字符");
    switch (text[i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      case '#': out += '#'; break;
      case '!': out += '!'; break;
      default: Fail(line, Format("未知的转义\\%c", text[i]));
    }
  }
  return out;
}

std::string Escape(std::string_view text, bool isKey) {
  std::string out;
  if (isKey && !text.empty() && (text.front() == '#' || text.front() == '!')) out += '\\';
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

TSRPackage ParseLangTable(std::string_view utf8) {
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  TSRPackage package;
  TSRData header;
  bool hasID = false;
  size_t lineNo = 0;
  while (!utf8.empty()) {
    ++lineNo;
    const size_t eol = utf8.find('\n');
    std::string_view line = utf8.substr(0, eol);
    utf8.remove_prefix(eol == std::string_view::npos ? utf8.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (Utf16ToUtf8(Utf8ToUtf16(line)) != line) Fail(lineNo, "不是有效的UTF-8文字");
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) Fail(lineNo, "缺少制表符");
    const std::string_view left = line.substr(0, tab);
    const std::string value = Unescape(line.substr(tab + 1), lineNo);
    if (left.front() == '!') {
      if (left == "!ID") {
        header.ID = value;
        hasID = true;
      } else if (left == "!Name") {
        header.Value = value;
      } else {
        Fail(lineNo, "未知的表头" + std::string(left));
      }
      continue;
    }
    const std::string key = Unescape(left, lineNo);
    if (key.empty()) Fail(lineNo, "文字为空");
    std::string earlier;
    if (package.TryGetScript(key, earlier)) Fail(lineNo, "文字重复: " + key);
    package.SetScript(key, value);
  }
  if (!hasID || header.ID.empty()) Fail(lineNo, "缺少!ID");
  package.SetType(header);
  return package;
}

std::string FormatLangTable(const TSRPackage& package) {
  std::string out = "!ID\t" + Escape(package.Type().ID, false) + "\n!Name\t" + Escape(package.Type().Value, false) + "\n";
  for (const auto& [key, value] : package.Entries()) out += Escape(key, true) + "\t" + Escape(value, false) + "\n";
  return out;
}

}  // namespace zent
