#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tumbla {

// Length of the well-formed UTF-8 sequence that starts at `p` (whose first byte is 0x80
// or above), or 0 when it is not well formed: a stray continuation byte, an overlong
// form, a UTF-16 surrogate, a code point beyond U+10FFFF or a sequence cut short.
// Inline because the JSON reader and writer call it for every non-ASCII character.
inline std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
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

// True when `text` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

// Appends a code point (not a surrogate, at most U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, std::uint32_t codePoint);

}  // namespace tumbla
