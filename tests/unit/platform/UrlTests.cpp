#include <gtest/gtest.h>

#include "platform/Url.h"

namespace tumbla {
namespace {

TEST(Url, SplitsHostPathAndRawQuery) {
  auto url = Url::parse("tumbla://audio.prismora/playSound?name=big%20bang&x=1#frag");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme(), "tumbla");
  EXPECT_EQ(url->host(), "audio.prismora");
  EXPECT_EQ(url->path(), "/playSound");
  EXPECT_EQ(url->query(), "name=big%20bang&x=1");
  EXPECT_EQ(url->fragment(), "frag");
}

TEST(Url, AbsentPartsAreAbsent) {
  auto file = Url::parse("file:///usr/share/tumbla/index.html");
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->host());
  EXPECT_FALSE(file->query());
  EXPECT_EQ(file->path(), "/usr/share/tumbla/index.html");

  auto bare = Url::parse("http://example.com");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->host(), "example.com");
  EXPECT_EQ(bare->path(), "");
  EXPECT_FALSE(bare->query());

  auto emptyQuery = Url::parse("http://settings.prismora/update?");
  ASSERT_TRUE(emptyQuery);
  EXPECT_EQ(emptyQuery->query(), "");
}

TEST(Url, AuthorityKeepsCaseAndDropsUserAndPort) {
  auto url = Url::parse("http://user:pw@Audio.prismora:8080/x");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->host(), "Audio.prismora");
  EXPECT_EQ(url->port(), "8080");
  auto v6 = Url::parse("http://[::1]:9/y");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host(), "[::1]");
  EXPECT_EQ(v6->port(), "9");
}

TEST(Url, RejectsTextThatIsNotAnAbsoluteUrl) {
  for (const char* text : {"", "no-scheme", ":x", "1http://a", "ht tp://a"}) {
    EXPECT_FALSE(Url::parse(text)) << text;
  }
}

TEST(Url, FileUrlEscapesThePath) {
  Url url = Url::fileURLWithPath("/tmp/my game/index#1.html");
  EXPECT_EQ(url.absoluteString(), "file:///tmp/my%20game/index%231.html");
  EXPECT_EQ(url.path(), "/tmp/my game/index#1.html");
  EXPECT_FALSE(url.host());
}

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

}  // namespace
}  // namespace tumbla
