// Any server can answer "/Directional" with anything: the text form must parse or fail
// with a conversion error, and what it fills must fit the record's fields.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Errors.h"
#include "discovery/Datagrams.h"
#include "platform/AnsiCodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  zent::TReplyData rd;
  try {
    rd.FromString(text);
  } catch (const zent::EConvertError&) {
    // a damaged answer: the query fails cleanly
  }
  if (zent::platform::Utf8ToAnsi(rd.STomcatIp).size() > zent::TReplyData::kIpMax ||
      zent::platform::Utf8ToAnsi(rd.SUrl).size() > zent::TReplyData::kUrlMax ||
      zent::platform::Utf8ToAnsi(rd.SText).size() > zent::TReplyData::kTextMax) {
    std::abort();
  }
  (void)rd.ToString();
  (void)rd.ToBytes();
  return 0;
}
