#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "value/Value.h"
#include "value/storage/BlockPool.h"
#include "value/storage/PageBuffer.h"

namespace tumbla {
namespace {

// Blocks cut one after another from a slab have no header between them: a block that
// reached into its neighbour would spoil the neighbour's bytes.
TEST(BlockPool, BlocksOfEverySizeAreAlignedAndKeepTheirBytes) {
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (int round = 0; round < 3; ++round) {
    for (std::size_t bytes = 1; bytes <= 4200; bytes += 3 * round + 1) {
      auto* block = static_cast<unsigned char*>(block_pool::allocate(bytes));
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % block_pool::kAlignment, 0u) << bytes;
      std::memset(block, static_cast<int>(blocks.size() & 0xFF), bytes);
      blocks.emplace_back(block, bytes);
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    auto [block, bytes] = blocks[i];
    for (std::size_t b = 0; b < bytes; ++b) ASSERT_EQ(block[b], i & 0xFF) << i << " " << b;
  }
  for (auto [block, bytes] : blocks) block_pool::release(block, bytes);
}

// Memory freed by a thread that has ended, including a value that thread kept to its
// very end, serves the threads that go on instead of being lost with it.
TEST(BlockPool, BlocksOfAnEndedThreadServeTheNextThreadThatNeedsThem) {
  constexpr std::size_t kBytes = 200;
  constexpr int kCount = 500;
  std::set<void*> left;
  std::thread ending([&left] {
    thread_local Value keptToTheEnd;
    std::vector<void*> blocks;
    for (int i = 0; i < kCount; ++i) blocks.push_back(block_pool::allocate(kBytes));
    // Freed after the pool's own end-of-thread step: a text block of the same class.
    keptToTheEnd = Value(std::string(kBytes - sizeof(std::size_t), 'k'));
    left.insert(const_cast<char*>(keptToTheEnd.stringIf()->data()) - sizeof(std::size_t));
    for (void* block : blocks) block_pool::release(block, kBytes);
    left.insert(blocks.begin(), blocks.end());
  });
  ending.join();

  // This thread takes them over once its own slab is used up; two slabs' worth of blocks
  // reach beyond that whatever earlier tests left in it.
  std::thread next([&left] {
    std::vector<void*> blocks;
    std::size_t found = 0;
    for (std::size_t made = 0; made < 2 * PageBuffer::kHugePageBytes / kBytes; ++made) {
      blocks.push_back(block_pool::allocate(kBytes));
      found += left.count(blocks.back());
    }
    for (void* block : blocks) block_pool::release(block, kBytes);
    EXPECT_EQ(found, left.size());
  });
  next.join();
}

TEST(PageBuffer, IsZeroedAlignedToAHugePageAndMovesItsPages) {
  PageBuffer buffer(3 * PageBuffer::kHugePageBytes + 1, true);
  ASSERT_NE(buffer.data(), nullptr);
  EXPECT_EQ(buffer.size(), 4 * PageBuffer::kHugePageBytes);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % PageBuffer::kHugePageBytes, 0u);
  const std::string zeros(4096, '\0');
  for (std::size_t at = 0; at < buffer.size(); at += zeros.size()) {
    ASSERT_EQ(std::memcmp(buffer.data() + at, zeros.data(), zeros.size()), 0) << at;
  }
  buffer.data()[buffer.size() - 1] = 'z';
  char* pages = buffer.data();
  PageBuffer moved = std::move(buffer);
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(moved.data(), pages);
  EXPECT_EQ(moved.data()[moved.size() - 1], 'z');
  EXPECT_EQ(PageBuffer(0, false).data(), nullptr);
  // A size whose rounding up would wrap around is refused, not mapped small.
  EXPECT_THROW(PageBuffer(SIZE_MAX - 5, false), std::bad_alloc);
  EXPECT_THROW(PageBuffer(SIZE_MAX - PageBuffer::kHugePageBytes, true), std::bad_alloc);
}

}  // namespace
}  // namespace tumbla
