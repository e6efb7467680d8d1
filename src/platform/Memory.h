// The process's own memory. Contract: never fails visibly; does nothing where the system
// offers no such call.
#pragma once

namespace zent::platform {

// Large blocks (image buffers, page data) get mappings of their own, which go back to the
// system when freed. Without it the allocator raises that limit after the first large
// blocks are freed and keeps later ones in its heap, where they stay as fragments.
void KeepLargeBlocksApart();

// Hands memory the allocator holds free (after start-up's passing allocations) back to the
// system, so the process's private memory shows what it really uses.
void ReleaseFreeMemory();

}  // namespace zent::platform
