#include "value/storage/PageBuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace tumbla {

PageBuffer::PageBuffer(std::size_t bytes, bool hugePages) {
  if (bytes == 0) return;
  std::size_t size = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  if (size < bytes || size > SIZE_MAX - kHugePageBytes) throw std::bad_alloc();
  // A huge page must start on a multiple of its size: map one huge page more than needed
  // and give back what lies before and after the aligned part.
  std::size_t mapped = size + kHugePageBytes;
  void* memory =
      ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  char* start = static_cast<char*>(memory);
  std::size_t before =
      (kHugePageBytes - reinterpret_cast<std::uintptr_t>(start) % kHugePageBytes) % kHugePageBytes;
  if (before != 0) ::munmap(start, before);
  if (std::size_t after = mapped - before - size; after != 0) {
    ::munmap(start + before + size, after);
  }
  data_ = start + before;
  size_ = size;
  // Only advice: without huge pages the memory works the same, page by page.
  if (hugePages) ::madvise(data_, size_, MADV_HUGEPAGE);
}

PageBuffer::~PageBuffer() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

}  // namespace tumbla
