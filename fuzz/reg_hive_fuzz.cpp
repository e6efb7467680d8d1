// Registry hive text over arbitrary bytes: parsing never crashes, what is written back
// parses to the same keys and values, and an edit reads back as written without
// changing anything else.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/RegHive.h"

namespace {

using zent::platform::RegHive;
using zent::platform::RegValueType;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckRoundTrip(const RegHive& hive) {
  Check(RegHive::Parse(hive.Serialise()).Keys() == hive.Keys());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  RegHive hive = RegHive::Parse(bytes);
  CheckRoundTrip(hive);

  // An edit with a key and names taken from the input: an existing key, or a new one.
  const auto keys = hive.Keys();
  std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\ZENT";
  if (size > 0 && data[0] % 3 != 0 && !keys.empty()) key = keys[data[0] % keys.size()].name;
  if (!RegHive::IsValidKeyPath(key)) return 0;
  const size_t cut = size > 1 ? data[1] % 16 : 0;
  const std::string name = bytes.substr(2 < size ? 2 : size, cut);
  const std::string text = bytes.substr(size / 2, 24);
  if (!RegHive::IsValidValueName(name)) return 0;

  const auto before = hive.Keys();
  hive.SetString(key, name, text);
  hive.SetDword(key, name + "#", static_cast<uint32_t>(size));
  CheckRoundTrip(hive);

  const RegHive back = RegHive::Parse(hive.Serialise());
  const auto* s = back.FindValue(key, name);
  Check(s && s->type == RegValueType::String);
  // A text with a line break travels as UTF-16, which holds only well-formed UTF-8.
  const std::string expected = text.substr(0, text.find('\0'));
  if (expected.find_first_of("\r\n") == std::string::npos) Check(s->text == expected);
  const auto* d = back.FindValue(key, name + "#");
  Check(d && d->type == RegValueType::Dword && d->dword == static_cast<uint32_t>(size));
  Check(back.Keys().size() >= before.size());
  return 0;
}
