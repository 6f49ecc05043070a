#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "value/Utf8.h"

namespace tumbla {
namespace {

// A plain decoder written from the definition: what the automaton must agree with.
// Answers the length of the well-formed sequence at the start of `bytes`, or 0.
std::size_t referenceLength(const std::vector<unsigned char>& bytes) {
  unsigned char lead = bytes[0];
  std::size_t length = lead < 0x80                   ? 1
                       : lead >= 0xC0 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF8 ? 4
                                                     : 0;
  if (length == 0 || bytes.size() < length) return 0;
  std::uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    codePoint = codePoint << 6 | (bytes[i] & 0x3F);
  }
  static const std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  bool overlong = codePoint < kShortest[length];
  bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  return overlong || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

std::size_t automatonLength(const std::vector<unsigned char>& bytes) {
  if (bytes[0] < 0x80) return 1;
  return utf8SequenceLength(bytes.data(), bytes.data() + bytes.size());
}

// Every sequence of one to three bytes, and every four-byte one whose last two bytes are
// taken from a set that covers each class of byte: the lengths agree.
TEST(Utf8Automaton, AgreesWithThePlainDecoderOnEverySequence) {
  const std::vector<unsigned char> samples = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                              0xBF, 0xC0, 0xC2, 0xE0, 0xED, 0xF4, 0xFF};
  std::size_t disagreements = 0;
  std::vector<unsigned char> bytes;
  for (int a = 0; a < 256; ++a) {
    for (int b = -1; b < 256; ++b) {
      for (int c = -1; c < 256; ++c) {
        if (b < 0 && c >= 0) break;
        bytes.assign({static_cast<unsigned char>(a)});
        if (b >= 0) bytes.push_back(static_cast<unsigned char>(b));
        if (c >= 0) bytes.push_back(static_cast<unsigned char>(c));
        if (referenceLength(bytes) != automatonLength(bytes)) ++disagreements;
        if (c < 0 || a < 0xF0) continue;
        for (unsigned char d : samples) {
          bytes.push_back(d);
          if (referenceLength(bytes) != automatonLength(bytes)) {
            ADD_FAILURE() << std::hex << a << " " << b << " " << c << " " << int(d);
            ++disagreements;
          }
          bytes.pop_back();
        }
      }
    }
  }
  EXPECT_EQ(disagreements, 0u);
}

// Each fault placed at every offset in ASCII text, so that it falls before, on and after
// the boundaries of the eight-byte steps and at the very end: the fault is found where
// its sequence starts, and the text before it counts as well formed.
TEST(Utf8Automaton, FindsTheFirstFaultWhereverItSits) {
  const std::vector<std::string> faults = {
      "\x80",              // a stray continuation byte
      "\xC0\xAF",          // overlong two bytes
      "\xC1\xBF",          // overlong two bytes
      "\xE0\x9F\xBF",      // overlong three bytes
      "\xF0\x8F\xBF\xBF",  // overlong four bytes
      "\xED\xA0\x80",      // a high surrogate
      "\xED\xBF\xBF",      // a low surrogate
      "\xF4\x90\x80\x80",  // U+110000
      "\xF5\x80\x80\x80",  // no lead byte goes that high
      "\xFF",
      "\xE6\x97",      // cut short
      "\xF0\x9F\x98",  // cut short
      "\xC3",          // cut short
      "\xE6\x41\x80",  // an ASCII byte inside a sequence
  };
  const std::string good = "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xED\x9F\xBF";
  for (const std::string& fault : faults) {
    for (std::size_t before = 0; before <= 17; ++before) {
      for (std::size_t after : {0u, 1u, 9u}) {
        std::string text = std::string(before, 'a') + fault + std::string(after, 'b');
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        EXPECT_EQ(firstInvalidUtf8(p, p + text.size()), p + before)
            << testing::PrintToString(fault) << " after " << before;
        // Behind a run of well-formed multi-byte text instead of ASCII.
        std::string behindGood = std::string(before, 'a') + good + fault;
        p = reinterpret_cast<const unsigned char*>(behindGood.data());
        EXPECT_EQ(firstInvalidUtf8(p, p + behindGood.size()), p + before + good.size())
            << testing::PrintToString(fault) << " after " << before;
      }
    }
  }
  // Well formed at every length and alignment, and the empty text.
  for (std::size_t before = 0; before <= 17; ++before) {
    std::string text = std::string(before, 'a') + good + good + std::string(before, 'z');
    EXPECT_TRUE(isValidUtf8(text)) << before;
  }
  EXPECT_TRUE(isValidUtf8(""));
}

}  // namespace
}  // namespace tumbla
