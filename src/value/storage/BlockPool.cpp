#include "value/storage/BlockPool.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#include "value/storage/PageBuffer.h"

namespace tumbla::block_pool {

namespace {

// Size classes of 8, 16, 24, ... bytes up to four kilobytes (a dictionary of a hundred
// members): blocks in a slab need no header, so a block takes exactly its size rounded up
// to the alignment.
constexpr std::size_t kClasses = 512;
constexpr std::size_t kSlabBytes = PageBuffer::kHugePageBytes;

// Bytes of 1 to 8 are class 0, 9 to 16 class 1, ...; 0 bytes wraps around to a class
// beyond the pooled ones.
std::size_t classOf(std::size_t bytes) {
  return (bytes - 1) / kAlignment;
}

std::size_t classBytes(std::size_t c) {
  return (c + 1) * kAlignment;
}

struct FreeBlock {
  FreeBlock* next;
};

// Puts the list that starts at `first` in front of `head`. Walks `first` to its end.
void splice(FreeBlock*& head, FreeBlock* first) {
  if (first == nullptr) return;
  FreeBlock* last = first;
  while (last->next != nullptr) last = last->next;
  last->next = head;
  head = first;
}

// The rest of a slab that a thread had not cut up when it ended, kept in its own first
// bytes.
struct SlabRest {
  char* end;
  SlabRest* next;
};

// What ended threads left behind, taken over by the next thread that runs out of slab.
struct Leftovers {
  std::mutex mutex;
  FreeBlock* heads[kClasses] = {};
  SlabRest* slabRests = nullptr;
  // Read without the lock on the way to cutting a new slab.
  std::atomic<bool> any{false};
};
constinit Leftovers leftovers;

// Trivial, so that reaching it costs no first-use check; the cleanup below is armed the
// first time the thread cuts a slab or keeps a block.
struct Cache {
  FreeBlock* heads[kClasses];
  char* slabNext;
  char* slabEnd;
  bool tookSlab;
  bool cleanupArmed;
  bool threadEnding;
};
constinit thread_local Cache cache{};

void leaveBehind() {
  std::lock_guard lock(leftovers.mutex);
  for (std::size_t c = 0; c < kClasses; ++c) {
    splice(leftovers.heads[c], cache.heads[c]);
    cache.heads[c] = nullptr;
  }
  if (static_cast<std::size_t>(cache.slabEnd - cache.slabNext) >= sizeof(SlabRest)) {
    leftovers.slabRests = new (cache.slabNext) SlabRest{cache.slabEnd, leftovers.slabRests};
  }
  cache.slabNext = cache.slabEnd = nullptr;
  leftovers.any.store(true, std::memory_order_release);
}

struct CacheCleanup {
  ~CacheCleanup() {
    // Blocks made or freed later in this thread's exit go past the cache.
    cache.threadEnding = true;
    // The main thread ends only with the process, whose memory goes back to the system
    // whole: handing its blocks on would only walk lists spread over all of them.
    if (::gettid() == ::getpid()) return;
    leaveBehind();
  }
};

void armCleanup() {
  thread_local CacheCleanup cleanup;
  (void)cleanup;
  cache.cleanupArmed = true;
}

// Takes over what ended threads left behind: their free blocks, and a slab rest when
// this thread has no slab left.
void takeLeftovers() {
  std::lock_guard lock(leftovers.mutex);
  for (std::size_t c = 0; c < kClasses; ++c) {
    splice(cache.heads[c], leftovers.heads[c]);
    leftovers.heads[c] = nullptr;
  }
  if (SlabRest* rest = leftovers.slabRests) {
    leftovers.slabRests = rest->next;
    cache.slabEnd = rest->end;
    cache.slabNext = reinterpret_cast<char*>(rest);
  }
  leftovers.any.store(leftovers.slabRests != nullptr, std::memory_order_relaxed);
}

// The way to a block when the thread has none of its class kept and its slab is used up.
[[gnu::noinline]] void* allocateBeyondSlab(std::size_t c) {
  std::size_t bytes = classBytes(c);
  // Kept with the others once freed, so it need not come from a slab.
  if (cache.threadEnding) return ::operator new(bytes);
  if (!cache.cleanupArmed) armCleanup();
  if (leftovers.any.load(std::memory_order_acquire)) {
    takeLeftovers();
    if (FreeBlock* block = cache.heads[c]) {
      cache.heads[c] = block->next;
      return block;
    }
  }
  if (static_cast<std::size_t>(cache.slabEnd - cache.slabNext) < bytes) {
    // The rest of the old slab, less than a block, is left unused.
    PageBuffer slab(kSlabBytes, cache.tookSlab);
    cache.tookSlab = true;
    cache.slabEnd = slab.data() + slab.size();
    cache.slabNext = slab.keepForever();
  }
  void* block = cache.slabNext;
  cache.slabNext += bytes;
  return block;
}

}  // namespace

void* allocate(std::size_t bytes) {
  std::size_t c = classOf(bytes);
  if (!kPooling || c >= kClasses) return ::operator new(bytes);
  if (FreeBlock* block = cache.heads[c]) {
    cache.heads[c] = block->next;
    return block;
  }
  std::size_t size = classBytes(c);
  if (static_cast<std::size_t>(cache.slabEnd - cache.slabNext) >= size) {
    void* block = cache.slabNext;
    cache.slabNext += size;
    return block;
  }
  return allocateBeyondSlab(c);
}

void release(void* block, std::size_t bytes) noexcept {
  std::size_t c = classOf(bytes);
  if (!kPooling || c >= kClasses) {
    ::operator delete(block);
    return;
  }
  if (cache.threadEnding) {
    std::lock_guard lock(leftovers.mutex);
    leftovers.heads[c] = new (block) FreeBlock{leftovers.heads[c]};
    leftovers.any.store(true, std::memory_order_release);
    return;
  }
  // A thread that only frees keeps blocks too, which must not be lost when it ends.
  if (!cache.cleanupArmed) armCleanup();
  cache.heads[c] = new (block) FreeBlock{cache.heads[c]};
}

}  // namespace tumbla::block_pool
