// Any host can send datagrams to the search socket: the answer parser must take any bytes.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "discovery/Datagrams.h"
#include "platform/AnsiCodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zent::TReplyData rd;
  if (!rd.FromBytes(std::span(data, size))) {
    if (size >= zent::TReplyData::kSize) std::abort();  // a whole record must parse
    return 0;
  }
  (void)rd.ToString();
  // What was read fits its fields again when written back.
  zent::TReplyData again;
  const auto bytes = rd.ToBytes();
  if (!again.FromBytes(bytes)) std::abort();
  if (bytes[8] > zent::TReplyData::kIpMax || bytes[32] > zent::TReplyData::kUrlMax ||
      bytes[133] > zent::TReplyData::kTextMax) {
    std::abort();
  }
  if (again.SMsgType != rd.SMsgType || again.STomcatPort != rd.STomcatPort) std::abort();
  return 0;
}
