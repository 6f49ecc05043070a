#pragma once

#include <cstddef>

namespace tumbla::block_pool {

// Heap blocks for the contents of values (long texts, array and dictionary elements).
// A parsed tree is thousands of small blocks that are all freed together when the tree
// goes, and the next parse asks for the same sizes again: each thread keeps the blocks it
// freed, by size, up to a few megabytes, and hands them out again before asking the
// general allocator. A block may be freed on another thread than the one that made it.
// When a thread ends, its kept blocks go back to the general allocator; the main thread's
// are left to the end of the process.
// Under AddressSanitizer every block goes straight to the general allocator, so that
// use after free is still caught.
void* allocate(std::size_t bytes);
// `bytes` is the size the block was allocated with.
void release(void* block, std::size_t bytes) noexcept;

}  // namespace tumbla::block_pool
