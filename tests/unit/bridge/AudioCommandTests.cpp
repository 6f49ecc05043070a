#include "audio/Playlist.h"
#include "audio/SoundManager.h"
#include "bridge/URLDispatcher.h"
#include "unit/audio/AudioFixture.h"

namespace tumbla {
namespace {

class AudioCommandTest : public testing::AudioFixture {
 protected:
  void SetUp() override {
    AudioFixture::SetUp();
    for (const char* name : {"a.caf", "b.caf", "c.caf", "theme.caf", "track1.caf"}) {
      addSound(name, 30);
    }
  }
  bool send(const char* text) { return dispatcher.dispatchURL(*Url::parse(text)); }
  SoundManager& manager() { return SoundManager::sharedManager(); }

  URLDispatcher dispatcher;
};

TEST_F(AudioCommandTest, PlayMusicLoopsAndTheSameMusicAgainChangesNothing) {
  EXPECT_TRUE(send("x://audio.prismora/playMusic?name=theme"));
  ASSERT_TRUE(manager().playingMusic());
  advance(40);  // longer than the file: it loops
  EXPECT_TRUE(player("theme.caf").playing);
  send("x://audio.prismora/playMusic?name=theme.caf");
  EXPECT_EQ(audio().playingCount(), 1);
  EXPECT_EQ(audio().playersOf("theme.caf").front()->volumeAt(now()), 1.0f);
  send("x://audio.prismora/stopMusic");
  EXPECT_FALSE(manager().playingMusic());
}

TEST_F(AudioCommandTest, PlaySoundsStartsEveryPieceOnceAndEmptyPiecesPlayNothing) {
  send("x://audio.prismora/playSounds?names=a,b,c");
  EXPECT_EQ(audio().playingCount(), 3);
  advance(31);
  EXPECT_EQ(audio().playingCount(), 0);  // none looped
  EXPECT_EQ(finishedSenders.size(), 3u);
  send("x://audio.prismora/playSounds?names=a,,b");
  EXPECT_EQ(audio().playingCount(), 2);
  EXPECT_EQ(manager().currentSounds().size(), 3u);
}

TEST_F(AudioCommandTest, NamelessOrMisspelledCommandsPlayNothing) {
  EXPECT_TRUE(send("x://audio.prismora/playSound"));
  EXPECT_TRUE(send("x://audio.prismora/playMusic"));
  EXPECT_TRUE(send("x://audio.prismora/playSounds"));
  EXPECT_TRUE(send("x://audio.prismora/playsound?name=a"));
  EXPECT_TRUE(send("x://audio.prismora/playSound?name=..%2Fa"));
  EXPECT_TRUE(manager().currentSounds().size() <= 1u);
  EXPECT_EQ(audio().playingCount(), 0);
  EXPECT_FALSE(manager().playingMusic());
  send("x://audio.prismora/playSound?name=a");
  EXPECT_EQ(audio().playingCount(), 1);
}

TEST_F(AudioCommandTest, SwitchTrackStartsThePlaylistThenMovesOn) {
  Playlist::sharedInstance().setTracks({"track1", "theme"});
  send("x://audio.prismora/switchTrack");
  EXPECT_EQ(manager().currentMusic()->name(), "track1");
  send("x://audio.prismora/switchTrack");
  EXPECT_EQ(manager().currentMusic()->name(), "theme");
}

}  // namespace
}  // namespace tumbla
