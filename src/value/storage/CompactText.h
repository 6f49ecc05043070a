#pragma once

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "value/storage/BlockPool.h"

namespace tumbla {

// A heap block holding a text's length and then its bytes: one allocation per long text.
inline char* newTextBlock(std::string_view text) {
  char* block = static_cast<char*>(block_pool::allocate(sizeof(std::size_t) + text.size()));
  std::size_t size = text.size();
  std::memcpy(block, &size, sizeof size);
  std::memcpy(block + sizeof size, text.data(), size);
  return block;
}
inline std::string_view textInBlock(const char* block) {
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  return std::string_view(block + sizeof size, size);
}
inline void deleteTextBlock(char* block) {
  block_pool::release(block, sizeof(std::size_t) + textInBlock(block).size());
}

// Says that a text was found to be well-formed UTF-8 where it was made (the JSON reader
// checks every string it reads), so that writing it needs no second check. Only text
// that was checked may be given with it.
struct KnownUtf8 {};

// A text of at most `Capacity` bytes is kept inline; a longer one lives in one heap block
// that holds its length and then its bytes, and the inline bytes hold the block's address.
// Laid out as plain bytes (alignment 1), so that a value can keep one next to its kind tag
// in sixteen bytes; the block address is read and written with memcpy.
// A text made with KnownUtf8 remembers it, and so do its copies; a text is never changed
// in place, so any other text put in its place has to be checked again.
template <std::size_t Capacity>
class CompactText {
  static constexpr std::uint8_t kOnHeap = 0x80;
  static constexpr std::uint8_t kKnownUtf8 = 0x40;
  static constexpr std::uint8_t kInlineSize = 0x3F;
  static_assert(Capacity >= sizeof(char*) && Capacity <= kInlineSize);

 public:
  CompactText() noexcept : size_(0) {}
  CompactText(std::string_view text) {
    if (text.size() > Capacity) {
      char* block = newTextBlock(text);
      std::memcpy(bytes_, &block, sizeof block);
      size_ = kOnHeap;
      return;
    }
    std::memcpy(bytes_, text.data(), text.size());
    size_ = static_cast<std::uint8_t>(text.size());
  }
  CompactText(std::string_view text, KnownUtf8) : CompactText(text) { size_ |= kKnownUtf8; }
  CompactText(const char* text) : CompactText(std::string_view(text)) {}
  CompactText(const std::string& text) : CompactText(std::string_view(text)) {}
  CompactText(const CompactText& other) : CompactText(other.view()) {
    size_ |= other.size_ & kKnownUtf8;
  }
  // Inline bytes or a block address: either moves as it is.
  CompactText(CompactText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    size_ = std::exchange(other.size_, 0);
  }
  CompactText& operator=(CompactText other) noexcept {
    this->~CompactText();
    return *new (this) CompactText(std::move(other));
  }
  ~CompactText() {
    if ((size_ & kOnHeap) != 0) deleteTextBlock(heapBlock());
  }

  std::string_view view() const {
    if ((size_ & kOnHeap) == 0) return std::string_view(bytes_, size_ & kInlineSize);
    return textInBlock(heapBlock());
  }
  bool isKnownUtf8() const { return (size_ & kKnownUtf8) != 0; }
  operator std::string_view() const { return view(); }

  // With another compact text, a string, a string view or a literal alike.
  template <typename Text>
  requires std::convertible_to<const Text&, std::string_view>
  bool operator==(const Text& other) const { return view() == std::string_view(other); }
  std::strong_ordering operator<=>(const CompactText& other) const {
    return view() <=> other.view();
  }

 private:
  char* heapBlock() const {
    char* block;
    std::memcpy(&block, bytes_, sizeof block);
    return block;
  }

  char bytes_[Capacity];
  std::uint8_t size_;
};

}  // namespace tumbla
