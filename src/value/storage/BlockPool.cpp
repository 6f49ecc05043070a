#include "value/storage/BlockPool.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#include "value/storage/PageBuffer.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUMBLA_POISON_POOL 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TUMBLA_POISON_POOL 1
#endif
#if defined(TUMBLA_POISON_POOL)
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace tumbla::block_pool {

namespace {

// The sanitizer knows nothing of blocks cut from a slab: the pool tells it which bytes are
// out of bounds (free, or never handed out), and has the leak check look for pointers in
// slabs as it does in the heap, so that a long text held only by a pooled block is not
// taken for a leak.
#if defined(TUMBLA_POISON_POOL)
void poison(const void* bytes, std::size_t size) {
  ASAN_POISON_MEMORY_REGION(bytes, size);
}
void unpoison(const void* bytes, std::size_t size) {
  ASAN_UNPOISON_MEMORY_REGION(bytes, size);
}
void scanForLeaks(const void* slab, std::size_t size) {
  __lsan_register_root_region(slab, size);
}
// A block from the general allocator that the pool keeps once it is freed.
void ignoreInLeakCheck(const void* block) {
  __lsan_ignore_object(block);
}
#else
void poison(const void*, std::size_t) {}
void unpoison(const void*, std::size_t) {}
void scanForLeaks(const void*, std::size_t) {}
void ignoreInLeakCheck(const void*) {}
#endif

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

// A free block is poisoned whole; its link is reached through these.
FreeBlock* nextOf(FreeBlock* block) {
  unpoison(block, sizeof(FreeBlock));
  FreeBlock* next = block->next;
  poison(block, sizeof(FreeBlock));
  return next;
}

void setNext(FreeBlock* block, FreeBlock* next) {
  unpoison(block, sizeof(FreeBlock));
  block->next = next;
  poison(block, sizeof(FreeBlock));
}

// Puts a freed block of class `c` in front of `head`.
void keep(FreeBlock*& head, void* block, std::size_t c) {
  unpoison(block, sizeof(FreeBlock));
  head = new (block) FreeBlock{head};
  poison(block, classBytes(c));
}

void* take(FreeBlock*& head) {
  FreeBlock* block = head;
  head = nextOf(block);
  return block;
}

void* handOut(void* block, std::size_t bytes) {
  unpoison(block, bytes);
  return block;
}

// Puts the list that starts at `first` in front of `head`. Walks `first` to its end.
void splice(FreeBlock*& head, FreeBlock* first) {
  if (first == nullptr) return;
  FreeBlock* last = first;
  while (FreeBlock* next = nextOf(last)) last = next;
  setNext(last, head);
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
    unpoison(cache.slabNext, sizeof(SlabRest));
    leftovers.slabRests = new (cache.slabNext) SlabRest{cache.slabEnd, leftovers.slabRests};
    poison(cache.slabNext, sizeof(SlabRest));
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
    unpoison(rest, sizeof(SlabRest));
    leftovers.slabRests = rest->next;
    cache.slabEnd = rest->end;
    cache.slabNext = reinterpret_cast<char*>(rest);
    poison(rest, sizeof(SlabRest));
  }
  leftovers.any.store(leftovers.slabRests != nullptr, std::memory_order_relaxed);
}

// The way to a block when the thread has none of its class kept and its slab is used up.
[[gnu::noinline]] void* allocateBeyondSlab(std::size_t c, std::size_t bytes) {
  std::size_t size = classBytes(c);
  if (cache.threadEnding) {
    // Kept with the others once freed, so it need not come from a slab.
    void* block = ::operator new(size);
    ignoreInLeakCheck(block);
    return block;
  }
  if (!cache.cleanupArmed) armCleanup();
  if (leftovers.any.load(std::memory_order_acquire)) {
    takeLeftovers();
    if (cache.heads[c] != nullptr) return handOut(take(cache.heads[c]), bytes);
  }
  if (static_cast<std::size_t>(cache.slabEnd - cache.slabNext) < size) {
    // The rest of the old slab, less than a block, is left unused.
    PageBuffer slab(kSlabBytes, cache.tookSlab);
    cache.tookSlab = true;
    poison(slab.data(), slab.size());
    scanForLeaks(slab.data(), slab.size());
    cache.slabEnd = slab.data() + slab.size();
    cache.slabNext = slab.keepForever();
  }
  void* block = cache.slabNext;
  cache.slabNext += size;
  return handOut(block, bytes);
}

}  // namespace

void* allocate(std::size_t bytes) {
  std::size_t c = classOf(bytes);
  if (c >= kClasses) return ::operator new(bytes);
  if (cache.heads[c] != nullptr) return handOut(take(cache.heads[c]), bytes);
  std::size_t size = classBytes(c);
  if (static_cast<std::size_t>(cache.slabEnd - cache.slabNext) >= size) {
    void* block = cache.slabNext;
    cache.slabNext += size;
    return handOut(block, bytes);
  }
  return allocateBeyondSlab(c, bytes);
}

void release(void* block, std::size_t bytes) noexcept {
  std::size_t c = classOf(bytes);
  if (c >= kClasses) {
    ::operator delete(block);
    return;
  }
  if (cache.threadEnding) {
    std::lock_guard lock(leftovers.mutex);
    keep(leftovers.heads[c], block, c);
    leftovers.any.store(true, std::memory_order_release);
    return;
  }
  // A thread that only frees keeps blocks too, which must not be lost when it ends.
  if (!cache.cleanupArmed) armCleanup();
  keep(cache.heads[c], block, c);
}

}  // namespace tumbla::block_pool
