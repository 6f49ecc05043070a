#include <filesystem>

#include "AudioFixture.h"
#include "audio/SoundManager.h"
#include "platform/Log.h"

namespace tumbla {
namespace {

class SoundManagerTest : public testing::AudioFixture {
 protected:
  SoundManager& manager() { return SoundManager::sharedManager(); }
};

TEST_F(SoundManagerTest, TheCurrentMusicAskedForAgainGoesOnUndisturbed) {
  addSound("theme.caf", 60);
  manager().playMusic("theme", true);
  advance(1);
  auto current = manager().currentMusic();
  manager().playMusic("theme.caf", false);
  manager().playMusic("theme", true);
  EXPECT_EQ(manager().currentMusic(), current);
  EXPECT_EQ(audio().playersOf("theme.caf").size(), 3u);  // made to compare, never played
  EXPECT_EQ(audio().playingCount(), 1);
  advance(2.1);
  EXPECT_EQ(audio().playersOf("theme.caf").front()->volumeAt(now()), 1.0f);
}

// Music is the same when it is the same file, whatever name it is asked by; another file
// with the same stem is other music.
TEST_F(SoundManagerTest, MusicIsTheSameOnlyWhenItIsTheSameFile) {
  struct Case {
    std::string playing, asked, askedFile;
    bool same;
  };
  for (const Case& c :
       {Case{"one", "one.caf", "one.caf", true}, Case{"two.caf", "two", "two.caf", true},
        Case{"three", "three.wav", "three.wav", false},
        Case{"four.wav", "four", "four.caf", false}}) {
    SCOPED_TRACE(c.playing + " then " + c.asked);
    std::string stem = std::filesystem::path(c.askedFile).stem().string();
    addSound(stem + ".caf", 60);
    addSound(stem + ".wav", 60);
    manager().playMusic(c.playing, true);
    auto before = manager().currentMusic();
    manager().playMusic(c.asked, true);
    ASSERT_TRUE(manager().currentMusic()->url());
    EXPECT_EQ(manager().currentMusic() == before, c.same);
    EXPECT_EQ(std::filesystem::path(manager().currentMusic()->url()->path()).filename(),
              c.askedFile);
    EXPECT_TRUE(manager().currentMusic()->playing());
  }
}

TEST_F(SoundManagerTest, ChangingMusicCrossFadesOverTheMusicFadeDuration) {
  addSound("a.caf", 60);
  addSound("b.caf", 60);
  manager().playMusic("a", true);
  advance(3.1);
  manager().playMusic("b", true);
  EXPECT_EQ(manager().currentMusic()->name(), "b");
  advance(1.5);
  float oldLevel = player("a.caf").volumeAt(now());
  float newLevel = player("b.caf").volumeAt(now());
  EXPECT_NEAR(oldLevel, 0.5f, 0.02f);
  EXPECT_NEAR(newLevel, 0.5f, 0.02f);
  EXPECT_NEAR(oldLevel + newLevel, 1.0f, 0.02f);
  advance(1.6);
  EXPECT_FALSE(player("a.caf").playing);
  EXPECT_TRUE(player("b.caf").playing);
  EXPECT_EQ(player("b.caf").volumeAt(now()), 1.0f);
  EXPECT_TRUE(finishedSenders.empty());
}

TEST_F(SoundManagerTest, StopMusicEndsPlayingMusicAtOnceWhileTheOldOneFadesOut) {
  manager().stopMusic();
  EXPECT_FALSE(manager().playingMusic());
  addSound("a.caf", 60);
  manager().setMusicFadeDuration(1.0);
  manager().playMusic("a", true);
  advance(1.1);
  manager().stopMusic();
  EXPECT_FALSE(manager().playingMusic());
  advance(0.5);
  EXPECT_TRUE(player("a.caf").playing);
  advance(0.6);
  EXPECT_FALSE(player("a.caf").playing);
  EXPECT_TRUE(player("a.caf").released);
}

TEST_F(SoundManagerTest, MusicThatEndsByItselfLeavesOnlyWhenItIsStillCurrent) {
  addSound("short.caf", 5);
  addSound("long.caf", 60);
  manager().playMusic("short", false);
  advance(5.1);
  EXPECT_FALSE(manager().playingMusic());
  manager().playMusic("short", false);
  manager().setMusicFadeDuration(10);
  manager().playMusic("long", true);  // the short one ends during its fade-out
  advance(5.1);
  ASSERT_TRUE(manager().playingMusic());
  EXPECT_EQ(manager().currentMusic()->name(), "long");
}

TEST_F(SoundManagerTest, EffectsOverlapAndStopSoundFadesOutEveryCopy) {
  addSound("pop.caf", 10);
  addSound("click.caf", 10);
  manager().playSound("pop", false);
  manager().playSound("click", false);
  manager().playSound("pop", false);
  EXPECT_EQ(audio().playingCount(), 3);
  manager().stopSound("pop");
  ASSERT_EQ(manager().currentSounds().size(), 1u);
  EXPECT_EQ(manager().currentSounds()[0]->name(), "click");
  advance(0.5);
  EXPECT_EQ(audio().playingCount(), 3);  // still fading
  advance(0.6);
  EXPECT_EQ(audio().playingCount(), 1);
  EXPECT_TRUE(finishedSenders.empty());
  manager().stopAllSounds();
  EXPECT_TRUE(manager().currentSounds().empty());
  advance(1.1);
  EXPECT_EQ(audio().playingCount(), 0);
}

TEST_F(SoundManagerTest, AnEffectThatEndsLeavesTheListAndSilentOnesAreListedToo) {
  addSound("pop.caf", 0.5);
  manager().playSound("pop", false);
  manager().playSound("nothing-here", false);
  EXPECT_EQ(manager().currentSounds().size(), 2u);
  advance(0.6);
  ASSERT_EQ(manager().currentSounds().size(), 1u);
  EXPECT_EQ(manager().currentSounds()[0]->name(), "nothing-here");
  EXPECT_EQ(finishedSenders.size(), 1u);

  // A page asking again and again for sounds that can't play costs one listed Sound and one
  // log line per name, not one each time.
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  platform->simBundle().addResource("broken.caf", "not a sound");
  for (int ask = 0; ask < 500; ++ask) {
    manager().playSound("nothing-here", false);
    manager().playSound("broken", false);
  }
  setLogSink(previous);
  EXPECT_EQ(manager().currentSounds().size(), 2u);
  EXPECT_EQ(logged.size(), 1u);  // broken.caf; nothing-here was said before
  EXPECT_EQ(Sound::soundWithName("nothing-here"), Sound::soundWithName("nothing-here.caf"));
}

TEST_F(SoundManagerTest, VolumesReachCurrentAndLaterSoundsAndAFadeInsTarget) {
  addSound("pop.caf", 10);
  addSound("theme.caf", 60);
  manager().playSound("pop", false);
  manager().setSoundVolume(0.5f);
  manager().playSound("pop", false);
  for (const auto& record : audio().playersOf("pop.caf")) {
    EXPECT_EQ(record->volumeAt(now()), 0.5f);
  }
  manager().playMusic("theme", true);
  advance(1);
  manager().setMusicVolume(0.4f);
  EXPECT_TRUE(manager().currentMusic()->fading());
  advance(0.3);  // the rate stays 1/3 a second: 0.33 reaches 0.4 after 0.2 s
  EXPECT_EQ(player("theme.caf").volumeAt(now()), 0.4f);
  EXPECT_FALSE(manager().currentMusic()->fading());
}

TEST_F(SoundManagerTest, OnlyAChangeOfBackgroundMusicReachesTheAudioSession) {
  manager().setAllowsBackgroundMusic(false);
  EXPECT_EQ(audio().categoryChanges(), 0);
  manager().setAllowsBackgroundMusic(true);
  EXPECT_EQ(audio().sessionCategory(), AudioSessionCategory::Ambient);
  manager().setAllowsBackgroundMusic(true);
  EXPECT_EQ(audio().categoryChanges(), 1);
  manager().setAllowsBackgroundMusic(false);
  EXPECT_EQ(audio().sessionCategory(), AudioSessionCategory::SoloAmbient);
  EXPECT_EQ(audio().categoryChanges(), 2);
}

TEST_F(SoundManagerTest, PrepareToPlayWarmsTheFirstFileOfTheFirstTypePresent) {
  manager().prepareToPlay();  // nothing to prepare
  EXPECT_TRUE(audio().players().empty());
  addSound("b.mp3", 1);
  addSound("a.mp3", 1);
  addSound("z.wav", 1);
  manager().prepareToPlay();
  ASSERT_EQ(audio().players().size(), 1u);
  EXPECT_EQ(player("a.mp3").prepares, 1);
  EXPECT_EQ(player("a.mp3").plays, 0);
  EXPECT_TRUE(player("a.mp3").released);
  addSound("x.caf", 1);
  manager().prepareToPlay();
  EXPECT_EQ(player("x.caf").prepares, 1);
}

}  // namespace
}  // namespace tumbla
