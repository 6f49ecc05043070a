#include "platform/DecimalText.h"

#include "platform/CompactText.h"

#include <cstring>
#include <new>
#include <utility>

namespace tumbla {

namespace {

constexpr char kAlphabet[] = "0123456789+-.eE";
constexpr unsigned char kNotPacked = 0xFF;

struct PackCodes {
  unsigned char code[256];
  constexpr PackCodes() : code() {
    for (unsigned char& c : code) c = kNotPacked;
    for (unsigned char i = 0; kAlphabet[i] != '\0'; ++i) {
      code[static_cast<unsigned char>(kAlphabet[i])] = i;
    }
  }
};
constexpr PackCodes kPackCodes;

}  // namespace

DecimalText::DecimalText(std::string_view text) : packed_(), size_(0) {
  if (text.size() <= kPackedCapacity) {
    bool packs = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
      unsigned char code = kPackCodes.code[static_cast<unsigned char>(text[i])];
      if (code == kNotPacked) {
        packs = false;
        break;
      }
      packed_[i / 2] |= static_cast<unsigned char>(code << (4 * (i % 2)));
    }
    if (packs) {
      size_ = static_cast<std::uint8_t>(text.size());
      return;
    }
  }
  storeOnHeap(text);
}

DecimalText::DecimalText(const DecimalText& other) : size_(other.size_) {
  if (onHeap()) {
    storeOnHeap(other.heapText());
  } else {
    std::memcpy(packed_, other.packed_, sizeof packed_);
  }
}

void DecimalText::storeOnHeap(std::string_view text) {
  char* block = newTextBlock(text);
  std::memcpy(packed_, &block, sizeof block);
  size_ = kOnHeap;
}

// Packed halves or a block address: either moves as it is.
DecimalText::DecimalText(DecimalText&& other) noexcept : size_(std::exchange(other.size_, 0)) {
  std::memcpy(packed_, other.packed_, sizeof packed_);
}

DecimalText& DecimalText::operator=(DecimalText other) noexcept {
  // `other` is this function's own, so releasing this text first is safe.
  this->~DecimalText();
  return *new (this) DecimalText(std::move(other));
}

DecimalText::~DecimalText() {
  if (onHeap()) deleteTextBlock(heapBlock());
}

char* DecimalText::heapBlock() const {
  char* block;
  std::memcpy(&block, packed_, sizeof block);
  return block;
}

std::string_view DecimalText::heapText() const {
  return textInBlock(heapBlock());
}

std::string_view DecimalText::text(Buffer& buffer) const {
  if (onHeap()) return heapText();
  for (std::size_t i = 0; i < size_; ++i) {
    buffer[i] = kAlphabet[(packed_[i / 2] >> (4 * (i % 2))) & 0xF];
  }
  return std::string_view(buffer.data(), size_);
}

std::string DecimalText::text() const {
  Buffer buffer;
  return std::string(text(buffer));
}

bool DecimalText::operator==(const DecimalText& other) const {
  if (size_ != other.size_) return false;
  if (onHeap()) return heapText() == other.heapText();
  return std::memcmp(packed_, other.packed_, sizeof packed_) == 0;
}

}  // namespace tumbla
