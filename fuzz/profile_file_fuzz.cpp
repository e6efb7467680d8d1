// Profile text parser and editor over arbitrary bytes: lookups never crash, and every
// accepted edit reads back as written without disturbing other keys.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Encoding.h"
#include "common/ProfileFile.h"
#include "common/ProfileText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Names taken from the input itself, so odd section and key names get tried too.
  const size_t sectionLen = size > 0 ? data[0] % 6 : 0;
  const size_t keyLen = size > 1 ? data[1] % 6 : 0;
  const std::string section = bytes.substr(2 < size ? 2 : size, sectionLen);
  const std::string key = bytes.substr(std::min(size, 2 + sectionLen), keyLen);

  zent::ProfileText text(bytes);
  const auto singleInst = text.Find("Other", "SingleInst");
  const auto port = text.Find("LumoServer", "Port");
  if (port) (void)zent::ParseProfileInteger(*port);
  (void)text.Find(section, key);

  // A fixed edit always succeeds and leaves other sections as they were.
  text.Set("LumoServer", "Host", "10.0.0.1");
  Check(text.Find("LumoServer", "Host") == std::string("10.0.0.1"));
  Check(text.Find("Other", "SingleInst") == singleInst);

  // An edit with names from the input either is refused or reads back.
  try {
    text.Set(section, key, "v=1 \"x\"");
    Check(text.Find(section, key) == std::string("v=1 \"x\""));
    if (!zent::EqualsNoCase(section, "LumoServer") || !zent::EqualsNoCase(key, "Host"))
      Check(text.Find("LumoServer", "Host") == std::string("10.0.0.1"));
  } catch (const zent::EProfileError&) {
  }

  // Parsing what we wrote gives the same answers.
  const zent::ProfileText again(text.Bytes());
  Check(again.Find("LumoServer", "Host") == text.Find("LumoServer", "Host"));
  return 0;
}
