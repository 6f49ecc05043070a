#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tumbla {

// Well-formed UTF-8 is read by one automaton: no stray continuation bytes, no overlong
// forms, no UTF-16 surrogates, nothing beyond U+10FFFF, no sequence cut short.
//
// A state is six bits: the shift that picks the next state out of the row of the byte
// read, so a step is one table load and one shift with no branch, whatever mix of
// sequence lengths the text has.
namespace utf8_automaton {

using State = std::uint64_t;

inline constexpr State kAccept = 0;  // between sequences
inline constexpr State kReject = 6;  // ill-formed; never left

constexpr std::array<std::uint64_t, 256> makeRows() {
  // The states by number (the shift is six times the number).
  enum : int { Accept, Reject, OneMore, TwoMore, AfterE0, AfterED, AfterF0, ThreeMore, AfterF4 };
  auto next = [](int state, int byte) -> int {
    bool continuation = byte >= 0x80 && byte <= 0xBF;
    switch (state) {
      case Accept:
        if (byte < 0x80) return Accept;
        if (byte >= 0xC2 && byte <= 0xDF) return OneMore;
        if (byte == 0xE0) return AfterE0;
        if (byte == 0xED) return AfterED;
        if (byte >= 0xE1 && byte <= 0xEF) return TwoMore;
        if (byte == 0xF0) return AfterF0;
        if (byte >= 0xF1 && byte <= 0xF3) return ThreeMore;
        if (byte == 0xF4) return AfterF4;
        return Reject;
      case OneMore:
        return continuation ? Accept : Reject;
      case TwoMore:
        return continuation ? OneMore : Reject;
      case AfterE0:  // no overlong three-byte forms
        return byte >= 0xA0 && byte <= 0xBF ? OneMore : Reject;
      case AfterED:  // no surrogates
        return byte >= 0x80 && byte <= 0x9F ? OneMore : Reject;
      case AfterF0:  // no overlong four-byte forms
        return byte >= 0x90 && byte <= 0xBF ? TwoMore : Reject;
      case ThreeMore:
        return continuation ? TwoMore : Reject;
      case AfterF4:  // nothing past U+10FFFF
        return byte >= 0x80 && byte <= 0x8F ? TwoMore : Reject;
      default:
        return Reject;
    }
  };
  std::array<std::uint64_t, 256> rows{};
  for (int byte = 0; byte < 256; ++byte) {
    for (int state = Accept; state <= AfterF4; ++state) {
      rows[byte] |= std::uint64_t(6 * next(state, byte)) << (6 * state);
    }
  }
  return rows;
}

inline constexpr std::array<std::uint64_t, 256> kRows = makeRows();

// Only the low six bits of a state count; the bits above are left from the row, as
// clearing them would lengthen the chain of dependent steps.
inline State step(State state, unsigned char byte) {
  return kRows[byte] >> (state & 63);
}
inline bool isIn(State state, State which) {
  return (state & 63) == which;
}

}  // namespace utf8_automaton

// Length of the well-formed UTF-8 sequence that starts at `p` (whose first byte is 0x80
// or above), or 0 when it is not well formed. Inline because text is stepped through a
// character at a time with it.
inline std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  utf8_automaton::State state = utf8_automaton::kAccept;
  for (const unsigned char* at = p; at != end;) {
    state = utf8_automaton::step(state, *at++);
    if (utf8_automaton::isIn(state, utf8_automaton::kAccept)) {
      return static_cast<std::size_t>(at - p);
    }
    if (utf8_automaton::isIn(state, utf8_automaton::kReject)) return 0;
  }
  return 0;
}

// Where the first ill-formed sequence in [p, end) starts, or `end` when the text is
// well-formed UTF-8. Runs of ASCII are passed eight bytes at a time.
const unsigned char* firstInvalidUtf8(const unsigned char* p, const unsigned char* end);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// Appends a code point (not a surrogate, at most U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, std::uint32_t codePoint);

}  // namespace tumbla
