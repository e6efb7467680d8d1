// The update services may answer anything: both answer parsers must decide or fail with a
// clear text, and a name they return must never pass the package-name check when it could
// leave the package folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Errors.h"
#include "update/UpdateAnswers.h"
#include "update/UpdateNames.h"

namespace {

void CheckName(const std::string& name) {
  if (zent::IsSafePackageNamePart(name) &&
      (name.find('/') != std::string::npos || name.find("..") != std::string::npos))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const zent::TMainCheckAnswer a = zent::ParseMainCheckAnswer(text);
    CheckName(a.md5);
    CheckName(zent::DownloadExtension(a.DownloadUrl));
  } catch (const zent::Exception&) {
    // a refused answer: logged by the check
  }
  try {
    CheckName(zent::ParseFallbackAnswer(text));
  } catch (const zent::Exception&) {
  }
  return 0;
}
