#include "discovery/Datagrams.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "common/Errors.h"
#include "common/Format.h"
#include "platform/AnsiCodePage.h"

namespace zent {
namespace {

// Answer record offsets.
constexpr size_t kOffMacType = 0, kOffMsgType = 4, kOffIp = 8, kOffPort = 24, kOffExist = 28,
                 kOffUrl = 32, kOffText = 133;
// Request record offsets.
constexpr size_t kReqOffText = 8;

void PutInt32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

int32_t GetInt32(const uint8_t* p) {
  const uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(u);
}

// GBK bytes cut to at most maxBytes at a character boundary, so a double-byte character is
// never split into a stray lead byte.
std::string CutGbk(std::string gbk, size_t maxBytes) {
  if (gbk.size() <= maxBytes) return gbk;
  size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<uint8_t>(gbk[i]);
    const size_t len = (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  gbk.resize(i);
  return gbk;
}

// Writes a length-prefixed GBK string into a field of 1 + maxBytes bytes.
void PutShortString(uint8_t* p, std::string_view utf8, size_t maxBytes) {
  const std::string gbk = CutGbk(platform::Utf8ToAnsi(utf8), maxBytes);
  p[0] = static_cast<uint8_t>(gbk.size());
  std::memcpy(p + 1, gbk.data(), gbk.size());
}

// Reads a length-prefixed GBK string; a length beyond the field is clamped to the field.
std::string GetShortString(const uint8_t* p, size_t maxBytes) {
  const size_t n = std::min<size_t>(p[0], maxBytes);
  return platform::AnsiToUtf8(std::string_view(reinterpret_cast<const char*>(p + 1), n));
}

int32_t ParseInt32(const std::string& field) {
  const char* first = field.data();
  const char* last = field.data() + field.size();
  if (first != last && *first == '+') ++first;  // a leading plus is allowed, as for any integer text
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(first, last, value, 10);
  if (first == last || ec != std::errc() || end != last || (*first == '-' && first + 1 == last) ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    // Show at most a short head of a hostile field.
    const std::string shown = field.size() > 40 ? field.substr(0, 40) + "..." : field;
    throw EConvertError(Format("'%s' is not a valid integer value", shown.c_str()));
  }
  return static_cast<int32_t>(value);
}

bool IsBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string CutToAnsiLimit(std::string_view utf8, size_t maxBytes) {
  return platform::AnsiToUtf8(CutGbk(platform::Utf8ToAnsi(utf8), maxBytes));
}

std::array<uint8_t, TRequestData::kSize> TRequestData::ToBytes() const {
  std::array<uint8_t, kSize> b{};
  PutInt32(&b[0], SMacType);
  PutInt32(&b[4], SMsgType);
  PutShortString(&b[kReqOffText], SText, kTextMax);
  return b;
}

bool TReplyData::FromBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSize) return false;
  const uint8_t* p = bytes.data();
  SMacType = GetInt32(p + kOffMacType);
  SMsgType = GetInt32(p + kOffMsgType);
  STomcatIp = GetShortString(p + kOffIp, kIpMax);
  STomcatPort = static_cast<uint16_t>(p[kOffPort] | p[kOffPort + 1] << 8);
  SExist = GetInt32(p + kOffExist);
  SUrl = GetShortString(p + kOffUrl, kUrlMax);
  SText = GetShortString(p + kOffText, kTextMax);
  return true;
}

std::array<uint8_t, TReplyData::kSize> TReplyData::ToBytes() const {
  std::array<uint8_t, kSize> b{};
  PutInt32(&b[kOffMacType], SMacType);
  PutInt32(&b[kOffMsgType], SMsgType);
  PutShortString(&b[kOffIp], STomcatIp, kIpMax);
  b[kOffPort] = static_cast<uint8_t>(STomcatPort);
  b[kOffPort + 1] = static_cast<uint8_t>(STomcatPort >> 8);
  PutInt32(&b[kOffExist], SExist);
  PutShortString(&b[kOffUrl], SUrl, kUrlMax);
  PutShortString(&b[kOffText], SText, kTextMax);
  return b;
}

std::string TReplyData::ToString() const {
  return Format("MacType:%d, MsgType:%d, TomcatIp:%s, TomcatPort:%d, Exist:%d, Url:%s, Text:%s",
                SMacType, SMsgType, STomcatIp.c_str(), static_cast<int>(STomcatPort), SExist,
                SUrl.c_str(), SText.c_str());
}

void TReplyData::SetTomcatIp(std::string_view text) { STomcatIp = CutToAnsiLimit(text, kIpMax); }
void TReplyData::SetUrl(std::string_view text) { SUrl = CutToAnsiLimit(text, kUrlMax); }
void TReplyData::SetText(std::string_view text) { SText = CutToAnsiLimit(text, kTextMax); }

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> fields;
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (i < n) {
    std::string field;
    if (text[i] == '"') {
      // Quoted: up to the closing quote that is not doubled; an unclosed quote takes the rest.
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
    } else {
      const size_t start = i;
      while (i < n && static_cast<unsigned char>(text[i]) > ' ' && text[i] != ',') ++i;
      field.assign(text.substr(start, i - start));
    }
    fields.push_back(std::move(field));
    while (i < n && IsBlank(text[i])) ++i;
    if (i < n && text[i] == ',') {
      if (i + 1 == n) fields.emplace_back();  // a trailing comma ends with an empty field
      do {
        ++i;
      } while (i < n && IsBlank(text[i]));
    }
  }
  return fields;
}

void TReplyData::FromString(std::string_view S) {
  const std::vector<std::string> f = SplitCommaText(S);
  auto field = [&](size_t index) -> const std::string& {
    if (index >= f.size()) {
      throw EConvertError(Format("answer has %zu fields, 7 expected", f.size()));
    }
    return f[index];
  };
  SMacType = ParseInt32(field(0));
  SMsgType = ParseInt32(field(1));
  SetTomcatIp(field(2));
  STomcatPort = static_cast<uint16_t>(ParseInt32(field(3)));
  SExist = ParseInt32(field(4));
  SetUrl(field(5));
  SetText(field(6));
}

}  // namespace zent
