// Feeds arbitrary bytes to the file version reader (PE resources and ELF notes): it must
// never crash or read out of bounds, and a false result must leave the record empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/FileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zent::TFileInfo info;
  const bool ok = zent::GetFileInfoFromBytes({data, size}, info, {"BuildChannel", "Comments"});
  if (!ok && (!info.Version.empty() || !info.CommpanyName.empty() ||
              info.VsFixedFileInfo != zent::VsFixedFileInfo{} || info.CustomFieldValue.size() != 2))
    std::abort();
  return 0;
}
