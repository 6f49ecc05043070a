#include "value/Utf8.h"

#include <cstring>

namespace tumbla {

const unsigned char* firstInvalidUtf8(const unsigned char* p, const unsigned char* end) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  const unsigned char* start = p;
  utf8_automaton::State state = utf8_automaton::kAccept;
  while (p != end) {
    if (utf8_automaton::isIn(state, utf8_automaton::kAccept)) {
      for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if ((word & kHighBits) != 0) break;
      }
    }
    // Sixteen steps between checks: the automaton never leaves the reject state.
    const unsigned char* stop = end - p > 16 ? p + 16 : end;
    for (; p != stop; ++p) state = utf8_automaton::step(state, *p);
    if (utf8_automaton::isIn(state, utf8_automaton::kReject)) break;
  }
  if (utf8_automaton::isIn(state, utf8_automaton::kAccept)) return end;
  // Only ill-formed text comes here: find the sequence that starts the trouble.
  for (p = start; p != end;) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = utf8SequenceLength(p, end);
    if (length == 0) return p;
    p += length;
  }
  return end;
}

bool isValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  return firstInvalidUtf8(p, p + text.size()) == p + text.size();
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
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

}  // namespace tumbla
