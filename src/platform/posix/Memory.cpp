#include "platform/Memory.h"

#include <malloc.h>

namespace zent::platform {

void KeepLargeBlocksApart() {
  // Setting the threshold fixes it: glibc no longer adapts it upwards. 1 MiB and up: window
  // buffers and page images. Smaller blocks churn by the thousand while the first page is
  // drawn; mapping and faulting each of them in afresh cost a tenth of a second of start-up.
  ::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
}

void ReleaseFreeMemory() {
  // glibc keeps freed heap below its top and in its arenas; trimming returns whole free pages.
  ::malloc_trim(0);
}

}  // namespace zent::platform
