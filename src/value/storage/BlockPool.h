#pragma once

#include <cstddef>

namespace tumbla::block_pool {

// Heap blocks for the contents of values (long texts, array and dictionary elements).
// A parsed tree is thousands of small blocks that are all freed together when the tree
// goes, and the next parse asks for the same sizes again. Blocks of up to 4 KB are
// cut one after another from slabs of two megabytes, with no header of their own; a freed
// block is kept by the thread that freed it, by size, and handed out again before a slab
// is cut further. A block may be freed on another thread than the one that made it.
// Slab memory is never given back to the system: it is the high-water mark of the
// small blocks the process held at once. What a thread kept when it ends goes to the next
// thread that runs out of slab; the main thread's is left to the end of the process.
// A thread's first slab is on small pages, so that a thread holding a few values costs a
// few pages; its later slabs ask for huge pages, where one page fault stands for 512.
// Larger blocks come from the general allocator. Under AddressSanitizer the pool stays on,
// and a block is poisoned while it is free or not yet handed out, so that touching it is
// reported as a use after free would be.
void* allocate(std::size_t bytes);
// `bytes` is the size the block was allocated with.
void release(void* block, std::size_t bytes) noexcept;

// Every block is aligned to this.
inline constexpr std::size_t kAlignment = 8;

}  // namespace tumbla::block_pool
