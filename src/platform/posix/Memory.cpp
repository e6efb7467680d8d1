#include "platform/Memory.h"

#include <malloc.h>

namespace zent::platform {

void KeepLargeBlocksApart() {
  // Setting the threshold fixes it: glibc no longer adapts it upwards.
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

void ReleaseFreeMemory() {
  // glibc keeps freed heap below its top and in its arenas; trimming returns whole free pages.
  ::malloc_trim(0);
}

}  // namespace zent::platform
