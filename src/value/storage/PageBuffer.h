#pragma once

#include <cstddef>
#include <utility>

namespace tumbla {

// Zeroed memory straight from the system, in whole pages aligned to a huge page (two
// megabytes), for buffers of megabytes: the block pool's slabs, a large document's text.
// With `hugePages` the system is asked to back it with huge pages, so that filling it
// costs one page fault for every two megabytes instead of one for every four kilobytes.
// Move-only; the pages go back to the system with the buffer.
class PageBuffer {
 public:
  static constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

  PageBuffer() noexcept = default;
  // Throws std::bad_alloc when the system has no room.
  PageBuffer(std::size_t bytes, bool hugePages);
  PageBuffer(PageBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PageBuffer& operator=(PageBuffer other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~PageBuffer();

  char* data() const { return data_; }
  // At least the size asked for: whole pages.
  std::size_t size() const { return size_; }
  // Keeps the pages for the rest of the process and answers them.
  char* keepForever() {
    size_ = 0;
    return std::exchange(data_, nullptr);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tumbla
