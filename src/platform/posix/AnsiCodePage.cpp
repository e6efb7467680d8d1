// POSIX: GBK <-> UTF-8 through glibc iconv. A conversion descriptor carries shift state
// and may not be shared between threads, so each thread keeps its own pair.
// iconv stops at the first byte it cannot handle; we write the replacement, step over
// the offending sequence ourselves and go on, so every call ends after one pass.
#include "platform/AnsiCodePage.h"
#include "platform/GbkBytes.h"

#include <errno.h>
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zent::platform {
namespace {

using gbk::IsGbkLead;
using gbk::IsGbkTrail;
using gbk::Utf8SequenceLength;

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in+len) as iconv accepts, appending to out.
  // Returns the number of input bytes consumed and leaves errno from the stop.
  size_t Run(const char* in, size_t len, std::string& out, int& err) {
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh shift state
    char buf[1024];
    char* src = const_cast<char*>(in);
    size_t left = len;
    err = 0;
    while (left > 0) {
      char* dst = buf;
      size_t room = sizeof buf;
      const size_t r = ::iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;  // output chunk full: flush and go on
        err = errno;
        break;
      }
    }
    return len - left;
  }

 private:
  iconv_t cd_;
};

// The thread's pair. A thread's thread-locals are destroyed before the process's static
// objects, so a conversion can come after them (the log's end banner written from a static
// destructor, into an emergency file when the disk is full): the flag, trivially destroyed
// and so still readable then, sends such a late call to a converter of its own.
thread_local bool tConvertersGone = false;

struct ThreadConverters {
  Converter toGbk{"GBK", "UTF-8"};
  Converter fromGbk{"UTF-8", "GBK"};
  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() { tConvertersGone = true; }
};

ThreadConverters* Converters() {
  if (tConvertersGone) return nullptr;
  thread_local ThreadConverters c;
  return &c;
}

// The thread's converter, or one made in `late` once the thread's pair is gone.
Converter& ToGbk(std::optional<Converter>& late) {
  if (ThreadConverters* c = Converters()) return c->toGbk;
  return late.emplace("GBK", "UTF-8");
}

Converter& FromGbk(std::optional<Converter>& late) {
  if (ThreadConverters* c = Converters()) return c->fromGbk;
  return late.emplace("UTF-8", "GBK");
}


}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::optional<Converter> late;
  Converter& c = ToGbk(late);
  if (!c.ok()) {
    // No GBK converter installed: only ASCII survives, as with an unmappable text.
    for (unsigned char ch : utf8) out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
  }
  size_t pos = 0;
  while (pos < utf8.size()) {
    int err = 0;
    pos += c.Run(utf8.data() + pos, utf8.size() - pos, out, err);
    if (pos >= utf8.size()) break;
    // EILSEQ: invalid UTF-8 or a character GBK lacks; EINVAL: truncated at the end.
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data() + pos);
    size_t maximal = 1;
    const size_t len = Utf8SequenceLength(s, utf8.size() - pos, maximal);
    out += '?';
    pos += len ? len : maximal;
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(ansi.size() * 3 / 2);
  std::optional<Converter> late;
  Converter& c = FromGbk(late);
  if (!c.ok()) {
    for (unsigned char ch : ansi) {
      if (ch < 0x80) out += static_cast<char>(ch);
      else out += kReplacement;
    }
    return out;
  }
  size_t pos = 0;
  while (pos < ansi.size()) {
    int err = 0;
    pos += c.Run(ansi.data() + pos, ansi.size() - pos, out, err);
    if (pos >= ansi.size()) break;
    const auto* s = reinterpret_cast<const unsigned char*>(ansi.data() + pos);
    const size_t left = ansi.size() - pos;
    out += kReplacement;
    // A well-formed but unmapped pair is one character; a lead byte followed by a byte
    // that cannot trail is dropped alone, so the next byte (often ASCII) survives.
    pos += (IsGbkLead(s[0]) && left >= 2 && IsGbkTrail(s[1])) ? 2 : 1;
  }
  return out;
}

}  // namespace zent::platform
