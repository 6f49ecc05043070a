#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tumbla::json_utf8 {

// Length of the well-formed UTF-8 sequence that starts at `p` (whose first byte is 0x80
// or above), or 0 when it is not well formed: a stray continuation byte, an overlong
// form, a UTF-16 surrogate, a code point beyond U+10FFFF or a sequence cut short.
inline std::size_t sequenceLength(const unsigned char* p, const unsigned char* end) {
  // Checked once for the whole sequence, as text in other scripts is made of them.
  auto continues = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  std::ptrdiff_t available = end - p;
  unsigned char lead = p[0];
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return available >= 2 && continues(p[1]) ? 2 : 0;
  if (lead < 0xF0) {
    if (available < 3 || !continues(p[1]) || !continues(p[2])) return 0;
    bool overlong = lead == 0xE0 && p[1] < 0xA0;
    bool surrogate = lead == 0xED && p[1] > 0x9F;
    return overlong || surrogate ? 0 : 3;
  }
  if (lead < 0xF5) {
    if (available < 4 || !continues(p[1]) || !continues(p[2]) || !continues(p[3])) return 0;
    bool overlong = lead == 0xF0 && p[1] < 0x90;
    bool beyondUnicode = lead == 0xF4 && p[1] > 0x8F;
    return overlong || beyondUnicode ? 0 : 4;
  }
  return 0;
}

// Appends a code point (not a surrogate, at most U+10FFFF) in UTF-8.
inline void append(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

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
// both the reader and the writer: a double quote, a backslash, a control character below
// 0x20 or a byte of 0x80 and above. Borrows can mark bytes after the first marked one
// too, so only the first mark is exact.
inline std::uint64_t stringSpecialBytes(std::uint64_t word) {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highBits = 0x8080808080808080ULL;
  auto hasZeroByte = [](std::uint64_t x) { return (x - ones) & ~x & highBits; };
  std::uint64_t below0x20 = (word - ones * 0x20) & ~word & highBits;
  return hasZeroByte(word ^ (ones * '"')) | hasZeroByte(word ^ (ones * '\\')) | below0x20 |
         (word & highBits);
}

inline bool hasStringSpecialByte(std::uint64_t word) {
  return stringSpecialBytes(word) != 0;
}

}  // namespace tumbla::json_utf8
