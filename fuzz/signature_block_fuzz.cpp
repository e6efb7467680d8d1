// Feeds arbitrary bytes to the signature block parse: the input is a file's tail and its
// first 8 bytes choose the file's size. It must never crash, and a size it reports must be
// exactly the file's size less the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "update/PackageSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t fileSize = 0;
  if (size >= 8) {
    std::memcpy(&fileSize, data, 8);
    data += 8;
    size -= 8;
  }
  const std::string_view tail(reinterpret_cast<const char*>(data), size);
  for (const uint64_t s : {fileSize, static_cast<uint64_t>(size)}) {
    const auto signedSize = zent::SignedSizeOf(tail, s);
    if (signedSize && (s < zent::kSignatureBlockSize || *signedSize != s - zent::kSignatureBlockSize)) std::abort();
  }
  return 0;
}
