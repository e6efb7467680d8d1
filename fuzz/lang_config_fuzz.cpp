// "LanguageEx.ini" and "Lang.config" over arbitrary bytes: reading never crashes, every
// override key is upper-cased and every override text is valid, non-empty UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Encoding.h"
#include "common/ProfileText.h"
#include "lang/LanguageSelection.h"
#include "platform/TextCase.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool ValidUtf8(const std::string& s) { return zent::Utf16ToUtf8(zent::Utf8ToUtf16(s)) == s; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Lang.config: the main thread's language.
  if (const auto id = zent::ProfileText(bytes).Find("Lang", "id")) Check(ValidUtf8(*id));

  // LanguageEx.ini: the overrides.
  for (const auto& [key, text] : zent::ParseLanguageOverrides(bytes)) {
    Check(key.find('.') != std::string::npos);
    Check(zent::platform::UpperCaseText(key) == key);
    Check(ValidUtf8(key));
    Check(!text.empty() && ValidUtf8(text));
  }
  return 0;
}
