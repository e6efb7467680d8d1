// Windows: code page 936 through MultiByteToWideChar / WideCharToMultiByte. The system calls
// see only well-formed runs; damaged input is replaced here with the same rules as the POSIX
// side ("?" per maximal ill-formed UTF-8 subpart, U+FFFD per bad GBK byte or unmapped pair),
// so both builds give the same bytes for the same input.
#include "platform/AnsiCodePage.h"

#include <windows.h>

#include <cstddef>

#include "platform/win32/WideText.h"
#include "platform/GbkBytes.h"

namespace zent::platform {
namespace {

using gbk::IsGbkLead;
using gbk::IsGbkTrail;
using gbk::Utf8SequenceLength;

constexpr UINT kGbk = 936;
constexpr char kReplacement[] = "\xEF\xBF\xBD";
// Code page 936 (as glibc's GBK) has one single byte above ASCII: 0x80, the euro sign.
constexpr unsigned char kEuro = 0x80;


// Well-formed UTF-8 of characters in the basic plane to GBK; what GBK lacks becomes "?".
void AppendGbk(std::string_view utf8, std::string& out) {
  if (utf8.empty()) return;
  const std::wstring wide = win32::Wide(utf8);
  const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, "?", nullptr);
  if (n <= 0) {
    out.append(wide.size(), '?');
    return;
  }
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n));
  ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        out.data() + at, n, "?", nullptr);
}

// Well-formed GBK units to UTF-16; false when the system refuses some pair as unmapped.
bool DecodeGbk(std::string_view gbk, std::wstring& wide) {
  wide.clear();
  if (gbk.empty()) return true;
  const int n = ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                                      nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                               wide.data(), n) == n;
}

// Appends a run of well-formed GBK units (single bytes up to 0x80 and lead-trail pairs); a pair the
// code page does not map becomes one U+FFFD.
void AppendUtf8(std::string_view gbk, std::string& out) {
  std::wstring wide;
  if (DecodeGbk(gbk, wide)) {
    out += win32::Narrow(wide);
    return;
  }
  for (size_t i = 0; i < gbk.size();) {
    const size_t len = static_cast<unsigned char>(gbk[i]) <= kEuro ? 1 : 2;
    if (DecodeGbk(gbk.substr(i, len), wide)) out += win32::Narrow(wide);
    else out += kReplacement;
    i += len;
  }
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t runStart = 0, pos = 0;
  while (pos < utf8.size()) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data() + pos);
    size_t maximal = 1;
    const size_t len = Utf8SequenceLength(s, utf8.size() - pos, maximal);
    // Valid characters gather into one run for one system call; GBK holds nothing beyond
    // the basic plane, so a four-byte character is a "?" of its own.
    if (len > 0 && len < 4) {
      pos += len;
      continue;
    }
    AppendGbk(utf8.substr(runStart, pos - runStart), out);
    out += '?';
    pos += len ? len : maximal;
    runStart = pos;
  }
  AppendGbk(utf8.substr(runStart), out);
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() * 3 / 2);
  size_t runStart = 0, pos = 0;
  while (pos < ansi.size()) {
    const auto b = static_cast<unsigned char>(ansi[pos]);
    if (b <= kEuro) {  // ASCII, or the code page's one-byte euro sign
      ++pos;
      continue;
    }
    if (IsGbkLead(b) && pos + 1 < ansi.size() && IsGbkTrail(static_cast<unsigned char>(ansi[pos + 1]))) {
      pos += 2;
      continue;
    }
    // 0xFF, or a lead byte without a byte that can trail: dropped alone, so the next
    // byte (often ASCII) survives.
    AppendUtf8(ansi.substr(runStart, pos - runStart), out);
    out += kReplacement;
    ++pos;
    runStart = pos;
  }
  AppendUtf8(ansi.substr(runStart), out);
  return out;
}

}  // namespace zent::platform
