#include "value/storage/DecimalText.h"

#include "value/storage/CompactText.h"

#include <bit>
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

static_assert(std::endian::native == std::endian::little, "words are read little-endian");
constexpr std::uint64_t kEightZeros = 0x3030303030303030ULL;

// Whether each byte of a little-endian word is an ASCII digit.
bool allDigits(std::uint64_t word) {
  return (((word - kEightZeros) | (word + 0x4646464646464646ULL)) & 0x8080808080808080ULL) == 0;
}

}  // namespace

DecimalText::DecimalText(std::string_view text) : packed_(), size_(0) {
  if (text.size() <= kPackedCapacity && pack(text)) {
    size_ = static_cast<std::uint8_t>(text.size());
    return;
  }
  storeOnHeap(text);
}

bool DecimalText::pack(std::string_view text) {
  std::size_t i = 0;
  // Eight digits at a time: most numbers are mostly digits, whose codes are their values.
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (!allDigits(word)) break;
    std::uint64_t halves = word - kEightZeros;
    halves = (halves | (halves >> 4)) & 0x00FF00FF00FF00FFULL;
    halves = (halves | (halves >> 8)) & 0x0000FFFF0000FFFFULL;
    halves = (halves | (halves >> 16)) & 0x00000000FFFFFFFFULL;
    auto four = static_cast<std::uint32_t>(halves);
    std::memcpy(packed_ + i / 2, &four, sizeof four);
  }
  for (; i < text.size(); ++i) {
    unsigned char code = kPackCodes.code[static_cast<unsigned char>(text[i])];
    if (code == kNotPacked) return false;
    packed_[i / 2] |= static_cast<unsigned char>(code << (4 * (i % 2)));
  }
  return true;
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
  std::size_t i = 0;
  // Eight characters at a time while four whole packed bytes lie inside; characters past
  // the end unpack from zero halves and are not part of the answer.
  for (; i < size_ && i + 8 <= kPackedCapacity; i += 8) {
    std::uint32_t four;
    std::memcpy(&four, packed_ + i / 2, sizeof four);
    std::uint64_t codes = four;
    codes = (codes | (codes << 16)) & 0x0000FFFF0000FFFFULL;
    codes = (codes | (codes << 8)) & 0x00FF00FF00FF00FFULL;
    codes = (codes | (codes << 4)) & 0x0F0F0F0F0F0F0F0FULL;
    std::uint64_t digits = codes + kEightZeros;
    std::memcpy(buffer.data() + i, &digits, sizeof digits);
    // Signs, points and exponent marks are few: they are put in one by one.
    std::uint64_t others = (codes + 0x7676767676767676ULL) & 0x8080808080808080ULL;
    for (; others != 0; others &= others - 1) {
      std::size_t k = static_cast<std::size_t>(std::countr_zero(others)) / 8;
      buffer[i + k] = kAlphabet[(codes >> (8 * k)) & 0xF];
    }
  }
  for (; i < size_; ++i) {
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
