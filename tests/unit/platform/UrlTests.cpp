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

}  // namespace
}  // namespace tumbla
