#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Scanning JSON text eight bytes at a time.
namespace tumbla::json_words {

// Eight bytes of text as one word whose lowest byte is the first, whatever the machine.
inline std::uint64_t loadWord(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Where in a word (from loadWord, not zero) its first non-zero byte sits.
inline std::size_t firstNonZeroByte(std::uint64_t word) {
  return static_cast<std::size_t>(std::countr_zero(word)) / 8;
}

// Marks in a word (from loadWord) the bytes that end a plain run of a JSON string for
// both the reader and the writer: a double quote, a backslash or a control character
// below 0x20. Bytes of 0x80 and above are plain here; their UTF-8 is checked apart, a
// run at a time. Borrows can mark bytes after the first marked one too, so only the
// first mark is exact.
inline std::uint64_t stringSpecialBytes(std::uint64_t word) {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highBits = 0x8080808080808080ULL;
  auto hasZeroByte = [](std::uint64_t x) { return (x - ones) & ~x & highBits; };
  std::uint64_t below0x20 = (word - ones * 0x20) & ~word & highBits;
  return hasZeroByte(word ^ (ones * '"')) | hasZeroByte(word ^ (ones * '\\')) | below0x20;
}

inline bool hasStringSpecialByte(std::uint64_t word) {
  return stringSpecialBytes(word) != 0;
}

}  // namespace tumbla::json_words
