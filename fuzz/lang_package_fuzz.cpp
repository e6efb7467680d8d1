// Language package reader over arbitrary bytes: a damaged package is a format error, never a
// crash or an allocation beyond the input; what reads saves and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "lang/LangTable.h"
#include "lang/SRPackage.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  zent::TSRPackage package;
  std::istringstream in(bytes);
  try {
    package.Load(in);
  } catch (const zent::ESRFormatError&) {
    return 0;
  }
  std::ostringstream out;
  package.Save(out);
  zent::TSRPackage again;
  std::istringstream back(out.str());
  again.Load(back);
  Check(again.Type() == package.Type());
  Check(again.Entries() == package.Entries());
  for (const auto& [key, value] : package.Entries()) Check(again.GetScript(key) == value);

  // The dump tool's table gives the same package (a table needs an identifier and no empty text).
  if (!package.Type().ID.empty() && package.Entries().count("") == 0) {
    const zent::TSRPackage fromTable = zent::ParseLangTable(zent::FormatLangTable(package));
    Check(fromTable.Entries() == package.Entries());
  }
  return 0;
}
