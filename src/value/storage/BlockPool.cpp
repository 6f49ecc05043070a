#include "value/storage/BlockPool.h"

#include <unistd.h>

#include <new>

namespace tumbla::block_pool {

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUMBLA_BLOCK_POOL_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TUMBLA_BLOCK_POOL_SANITIZED)
constexpr bool kPooling = false;
#else
constexpr bool kPooling = true;
#endif

// Size classes of 24, 40, 56, ... bytes: the general allocator puts an eight-byte header
// before each block and rounds the two to 16 bytes, so these sizes fill its chunks exactly.
// Blocks of up to 520 bytes are kept.
constexpr std::size_t kGranule = 16;
constexpr std::size_t kSmallestClass = 24;
constexpr std::size_t kClasses = 32;
constexpr std::size_t kMaxCachedBytes = std::size_t{16} << 20;

struct FreeBlock {
  FreeBlock* next;
};

// Trivial, so that reaching it costs no first-use check; the cleanup below is armed the
// first time a block is kept.
struct Cache {
  FreeBlock* heads[kClasses];
  std::size_t cachedBytes;
  bool cleanupArmed;
  bool threadEnding;
};
constinit thread_local Cache cache{};

struct CacheCleanup {
  ~CacheCleanup() {
    // Values destroyed later in this thread's exit free their blocks directly.
    cache.threadEnding = true;
    // The main thread ends only with the process, whose memory goes back to the system
    // whole. Handing megabytes of small blocks back one by one first, chasing a list
    // spread over all of them, would be the slowest part of a short run's exit.
    if (::gettid() == ::getpid()) return;
    for (std::size_t c = 0; c < kClasses; ++c) {
      while (FreeBlock* block = cache.heads[c]) {
        cache.heads[c] = block->next;
        ::operator delete(block);
      }
    }
    cache.cachedBytes = 0;
  }
};

void armCleanup() {
  thread_local CacheCleanup cleanup;
  (void)cleanup;
  cache.cleanupArmed = true;
}

std::size_t classOf(std::size_t bytes) {
  return bytes <= kSmallestClass ? 0 : (bytes - kSmallestClass + kGranule - 1) / kGranule;
}

std::size_t classBytes(std::size_t c) {
  return kSmallestClass + c * kGranule;
}

}  // namespace

void* allocate(std::size_t bytes) {
  std::size_t c = classOf(bytes);
  if (!kPooling || c >= kClasses) return ::operator new(bytes);
  if (FreeBlock* block = cache.heads[c]) {
    cache.heads[c] = block->next;
    cache.cachedBytes -= classBytes(c);
    return block;
  }
  return ::operator new(classBytes(c));
}

void release(void* block, std::size_t bytes) noexcept {
  std::size_t c = classOf(bytes);
  std::size_t blockBytes = classBytes(c);
  if (!kPooling || c >= kClasses || cache.threadEnding ||
      cache.cachedBytes + blockBytes > kMaxCachedBytes) {
    ::operator delete(block);
    return;
  }
  if (!cache.cleanupArmed) armCleanup();
  auto* freed = new (block) FreeBlock{cache.heads[c]};
  cache.heads[c] = freed;
  cache.cachedBytes += blockBytes;
}

}  // namespace tumbla::block_pool
