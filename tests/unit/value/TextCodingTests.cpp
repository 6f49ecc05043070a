#include <gtest/gtest.h>

#include "value/HexDigits.h"
#include "value/PercentCoding.h"
#include "value/Utf8.h"

namespace tumbla {
namespace {

TEST(PercentDecoding, DecodesUtf8AndRefusesWhatIsNot) {
  EXPECT_EQ(percentDecodeUtf8("big%20bang"), "big bang");
  EXPECT_EQ(percentDecodeUtf8("big+bang"), "big+bang");
  EXPECT_EQ(percentDecodeUtf8("caf%C3%A9"), "caf\xC3\xA9");
  EXPECT_EQ(percentDecodeUtf8("%e2%82%ac"), "\xE2\x82\xAC");
  for (const char* bad : {"%", "%2", "%zz", "a%2g", "%C3", "%FF", "%C0%AF", "%ED%A0%80"}) {
    EXPECT_FALSE(percentDecodeUtf8(bad)) << bad;
  }
}

TEST(Utf8, ValidatesSequences) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("\xF0\x9F\x98"));      // cut short
  EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xED\xB0\x80"));      // lone surrogate
  EXPECT_FALSE(isValidUtf8("\x80"));
}

TEST(Utf8, AppendedCodePointsValidateAtEveryLength) {
  std::string text;
  for (std::uint32_t codePoint : {0x41u, 0x7FFu, 0x800u, 0xFFFDu, 0x10000u, 0x10FFFFu}) {
    appendUtf8(text, codePoint);
  }
  EXPECT_EQ(text, "A\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
  EXPECT_TRUE(isValidUtf8(text));
  // Cut anywhere inside the last sequence, the text is no longer whole.
  for (std::size_t cut = 1; cut < 4; ++cut) {
    EXPECT_FALSE(isValidUtf8(std::string_view(text).substr(0, text.size() - cut))) << cut;
  }
}

TEST(PercentCoding, EncodedPathsDecodeToThemselves) {
  std::string path = "/tmp/Spiel \xC3\xBC/a+b%c?d#e";
  std::string encoded = percentEncodePath(path);
  EXPECT_EQ(encoded, "/tmp/Spiel%20%C3%BC/a%2Bb%25c%3Fd%23e");
  EXPECT_EQ(percentDecodeUtf8(encoded), path);
  EXPECT_EQ(hexDigitValue('f'), 15);
  EXPECT_EQ(hexDigitValue('F'), 15);
  EXPECT_EQ(hexDigitValue('g'), -1);
}

}  // namespace
}  // namespace tumbla
