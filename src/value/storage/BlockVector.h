#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "value/storage/BlockPool.h"

namespace tumbla {

struct NoExtra {};

// A vector whose size, capacity and elements share one heap block, so that the object
// itself is one pointer (null while it holds nothing ever reserved) and a container costs
// one allocation from the block pool. `Extra` is kept in the block's header for the
// owner's use; it moves with the block but is not copied with the elements.
template <typename T, typename Extra = NoExtra>
class BlockVector {
 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  BlockVector() noexcept = default;
  BlockVector(std::initializer_list<T> items) : BlockVector(items.begin(), items.end()) {}
  BlockVector(std::size_t count, const T& item) {
    reserve(count);
    std::uninitialized_fill_n(data(), count, item);
    if (block_ != nullptr) block_->size = static_cast<std::uint32_t>(count);
  }
  template <std::input_iterator Iterator>
  BlockVector(Iterator first, Iterator last) {
    reserve(static_cast<std::size_t>(std::distance(first, last)));
    for (; first != last; ++first) emplace_back(*first);
  }
  BlockVector(const BlockVector& other) : BlockVector(other.begin(), other.end()) {}
  BlockVector(BlockVector&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  BlockVector& operator=(BlockVector other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~BlockVector() {
    if (block_ == nullptr) return;
    clear();
    release(block_);
  }

  std::size_t size() const { return block_ != nullptr ? block_->size : 0; }
  std::size_t capacity() const { return block_ != nullptr ? block_->capacity : 0; }
  bool empty() const { return size() == 0; }

  T* data() { return block_ != nullptr ? elements(block_) : nullptr; }
  const T* data() const { return block_ != nullptr ? elements(block_) : nullptr; }
  iterator begin() { return data(); }
  iterator end() { return data() + size(); }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size(); }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  T& front() { return *begin(); }
  const T& front() const { return *begin(); }
  T& back() { return end()[-1]; }
  const T& back() const { return end()[-1]; }

  // Null while there is no block.
  Extra* extra() { return block_ != nullptr ? &block_->extra : nullptr; }
  const Extra* extra() const { return block_ != nullptr ? &block_->extra : nullptr; }

  void reserve(std::size_t n) {
    if (n > capacity()) reallocate(n);
  }
  // Taken by value, so that an element of this vector can be pushed while it grows.
  void push_back(T item) { emplace_back(std::move(item)); }
  template <typename... Args>
  T& emplace_back(Args&&... args) {
    if (size() == capacity()) reallocate(std::max<std::size_t>(4, 2 * capacity()));
    T* item;
    if constexpr (std::is_constructible_v<T, Args&&...>) {
      item = new (end()) T(std::forward<Args>(args)...);
    } else {
      item = new (end()) T{std::forward<Args>(args)...};  // an aggregate, in place
    }
    ++block_->size;
    return *item;
  }
  void pop_back() {
    back().~T();
    --block_->size;
  }
  iterator erase(const_iterator position) {
    T* at = begin() + (position - begin());
    std::move(at + 1, end(), at);
    pop_back();
    return at;
  }
  void clear() {
    if (block_ == nullptr) return;
    std::destroy(begin(), end());
    block_->size = 0;
  }

  bool operator==(const BlockVector& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
  }

 private:
  struct Header {
    std::uint32_t size;
    std::uint32_t capacity;
    [[no_unique_address]] Extra extra;
  };
  static constexpr std::size_t kElementsOffset =
      (sizeof(Header) + alignof(T) - 1) / alignof(T) * alignof(T);

  static T* elements(Header* block) {
    return std::launder(reinterpret_cast<T*>(reinterpret_cast<char*>(block) + kElementsOffset));
  }
  static const T* elements(const Header* block) { return elements(const_cast<Header*>(block)); }
  static std::size_t blockBytes(std::size_t capacity) {
    return kElementsOffset + capacity * sizeof(T);
  }
  static void release(Header* block) {
    std::size_t bytes = blockBytes(block->capacity);
    block->~Header();
    block_pool::release(block, bytes);
  }

  void reallocate(std::size_t capacity) {
    static_assert(alignof(T) <= block_pool::kAlignment);
    void* memory = block_pool::allocate(blockBytes(capacity));
    auto* grown = new (memory) Header{0, static_cast<std::uint32_t>(capacity), Extra{}};
    if (block_ != nullptr) {
      grown->extra = std::move(block_->extra);
      std::uninitialized_move(begin(), end(), elements(grown));
      grown->size = block_->size;
      clear();
      release(block_);
    }
    block_ = grown;
  }

  Header* block_ = nullptr;
};

}  // namespace tumbla
