// Hardware address texts (NetAdapters.h): the same on every system.
#include "platform/NetAdapters.h"

namespace zent::platform {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> ParseMacText(const std::string& text) {
  std::vector<uint8_t> bytes;
  size_t i = 0;
  while (i < text.size()) {
    if (i + 2 > text.size()) return {};
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return {};
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    i += 2;
    if (i == text.size()) break;
    if (text[i] != ':') return {};
    ++i;
    if (i == text.size()) return {};  // a trailing separator is not an address
  }
  return bytes;
}

std::string MacText(const std::vector<uint8_t>& mac) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : mac) {
    if (!text.empty()) text += '-';
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

}  // namespace zent::platform
