// The discovery wire formats: the 112-byte search request, the 236-byte answer record
// TReplyData (also the result of the direct "/Directional" query and its text form), and
// the log text of an answer. Integers are little-endian; strings are a length byte followed
// by GBK text in a fixed-size field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zent {

// Message types of the discovery service.
inline constexpr int32_t kMsgSearchRequest = 10;
inline constexpr int32_t kMsgSearchAnswer = 11;
inline constexpr int32_t kMsgDirectionalAnswer = 13;

struct TRequestData {
  static constexpr size_t kSize = 112;
  static constexpr size_t kTextMax = 100;

  int32_t SMacType = 0;
  int32_t SMsgType = kMsgSearchRequest;
  std::string SText = "广播测试";  // UTF-8; sent as GBK

  // The unused rest of the text field and the padding are zero.
  std::array<uint8_t, kSize> ToBytes() const;
};

struct TReplyData {
  static constexpr size_t kSize = 236;
  static constexpr size_t kIpMax = 15;
  static constexpr size_t kUrlMax = 100;
  static constexpr size_t kTextMax = 100;

  int32_t SMacType = 0;
  int32_t SMsgType = 0;
  std::string STomcatIp;  // UTF-8; at most kIpMax bytes once converted to GBK
  uint16_t STomcatPort = 0;
  int32_t SExist = 0;
  std::string SUrl;       // at most kUrlMax GBK bytes
  std::string SText;      // at most kTextMax GBK bytes

  // Fills the record from the first kSize bytes; false (record untouched) when fewer are
  // given. A length byte larger than its field counts as the field's size.
  bool FromBytes(std::span<const uint8_t> bytes);
  std::array<uint8_t, kSize> ToBytes() const;

  // "MacType:%d, MsgType:%d, TomcatIp:%s, TomcatPort:%d, Exist:%d, Url:%s, Text:%s"
  std::string ToString() const;
  // Fills the record from the comma-separated text form (seven fields in record order).
  // Throws EConvertError for a number that does not parse or fewer than seven fields;
  // fields already read stay filled.
  void FromString(std::string_view S);

  // Setters that cut to the field's byte limit, as writing into the record does.
  void SetTomcatIp(std::string_view text);
  void SetUrl(std::string_view text);
  void SetText(std::string_view text);
};

// UTF-8 text converted to GBK and cut to at most `maxBytes` without splitting a
// double-byte character, then back to UTF-8.
std::string CutToAnsiLimit(std::string_view utf8, size_t maxBytes);

// Splits text the way the "/Directional" answer is written: comma-separated, a field also
// ending at an unquoted character of code 32 or below, double-quoted fields holding commas
// and blanks with "" for a quote. A NUL ends the text.
std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace zent
