#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tumbla {

// Exact decimal number text, as JSON writes numbers ("12.50", "-0", "1e400"), in fifteen
// bytes. Number texts use fifteen characters (digits, signs, point, e, E), so each takes
// half a byte: up to 28 characters (canada.json's coordinates have 19) are kept inline and
// a parsed number costs no allocation. Longer texts, or texts with other characters, go
// to a heap block holding their length and bytes.
class DecimalText {
 public:
  static constexpr std::size_t kPackedCapacity = 28;
  // Where a packed text is unpacked to be read.
  using Buffer = std::array<char, kPackedCapacity>;

  explicit DecimalText(std::string_view text);
  DecimalText(const DecimalText& other);
  DecimalText(DecimalText&& other) noexcept;
  DecimalText& operator=(DecimalText other) noexcept;
  ~DecimalText();

  // Answers the text, unpacked into `buffer` when it is packed.
  std::string_view text(Buffer& buffer) const;
  std::string text() const;
  bool operator==(const DecimalText& other) const;

 private:
  static constexpr std::uint8_t kOnHeap = 0xFF;

  bool onHeap() const { return size_ == kOnHeap; }
  // Answers false, leaving `packed_` spoilt, when the text has a character that does not pack.
  bool pack(std::string_view text);
  void storeOnHeap(std::string_view text);
  char* heapBlock() const;
  std::string_view heapText() const;

  // Two characters a byte, the first in the low half; unused halves are zero, so equal
  // texts pack to equal bytes.
  unsigned char packed_[kPackedCapacity / 2];
  std::uint8_t size_;
};

}  // namespace tumbla
