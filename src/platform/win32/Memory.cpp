// Windows: the process heap gives large blocks their own virtual allocations already, so there
// is nothing to set; releasing free memory is a heap compaction.
#include "platform/Memory.h"

#include <windows.h>

namespace zent::platform {

void KeepLargeBlocksApart() {}

void ReleaseFreeMemory() { ::HeapCompact(::GetProcessHeap(), 0); }

}  // namespace zent::platform
