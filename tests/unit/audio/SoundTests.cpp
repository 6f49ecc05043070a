#include <algorithm>
#include <cmath>

#include "AudioFixture.h"
#include "audio/Sound.h"

namespace tumbla {
namespace {

class SoundTest : public testing::AudioFixture {};

TEST_F(SoundTest, NamesWithoutExtensionGetCafAndKeepTheirOwnOtherwise) {
  addSound("click.caf", 0.5);
  addSound("song.mp3", 2);
  auto click = Sound::soundWithName("click");
  auto song = Sound::soundWithName("song.mp3");
  EXPECT_EQ(click->name(), "click");
  ASSERT_TRUE(click->url());
  EXPECT_TRUE(click->url()->path().ends_with("/click.caf"));
  EXPECT_EQ(song->name(), "song");
  click->play(false);
  song->play(false);
  EXPECT_TRUE(player("click.caf").playing);
  EXPECT_TRUE(player("song.mp3").playing);
}

TEST_F(SoundTest, FilesThatCannotPlayGiveSilentSoundsThatNeverHoldThemselves) {
  platform->simBundle().addResource("empty.caf", "");
  platform->simBundle().addResource("garbage.caf", "not a sound at all");
  platform->simBundle().addResource("truncated.wav", "RIFF\x10\0\0\0WAVEfmt ");
  addSound("outside.caf", 1);
  for (const char* name :
       {"missing", "empty", "garbage", "truncated.wav", "../outside", "", "/etc/passwd"}) {
    auto sound = Sound::soundWithName(name);
    sound->play(true);
    sound->fadeIn(1);
    EXPECT_FALSE(sound->playing()) << name;
    EXPECT_EQ(sound->volume(), 0.0f) << name;
    EXPECT_FALSE(sound->holdsItself()) << name;
    EXPECT_FALSE(sound->fading()) << name;
  }
  EXPECT_TRUE(audio().players().empty());
  EXPECT_EQ(platform->runLoop().activeTimerCount(), 0u);
}

TEST_F(SoundTest, APlayingSoundLivesOnUntilItEndsThenPostsItselfOnce) {
  addSound("pop.caf", 0.5);
  std::weak_ptr<Sound> weak;
  const void* sender = nullptr;
  {
    auto sound = Sound::soundWithName("pop");
    sound->play(false);
    weak = sound;
    sender = sound.get();
  }
  ASSERT_FALSE(weak.expired());
  EXPECT_TRUE(weak.lock()->holdsItself());
  advance(0.49);
  EXPECT_TRUE(finishedSenders.empty());
  advance(0.02);
  EXPECT_EQ(finishedSenders, std::vector<const void*>{sender});
  EXPECT_TRUE(weak.expired());
}

TEST_F(SoundTest, ObserversMayDropTheSoundWhileItIsBeingPosted) {
  addSound("pop.caf", 0.5);
  auto sound = Sound::soundWithName("pop");
  std::string nameSeen;
  Subscription dropper = platform->notificationCenter().addObserver(
      std::string(kSoundFinishedPlayingNotification), sound.get(), [&](const Notification& n) {
        sound.reset();
        nameSeen = static_cast<const Sound*>(n.sender)->name();
      });
  sound->play(false);
  advance(1);
  EXPECT_EQ(nameSeen, "pop");
}

TEST_F(SoundTest, StoppingOrLoopingPostsNothingAndPlayOnAPlayingSoundChangesNothing) {
  addSound("loop.caf", 0.5);
  addSound("once.caf", 0.5);
  auto looping = Sound::soundWithName("loop");
  looping->play(true);
  looping->play(false);  // already playing: stays looped
  auto once = Sound::soundWithName("once");
  once->play(false);
  once->stop();
  EXPECT_FALSE(once->holdsItself());
  advance(5);
  EXPECT_TRUE(finishedSenders.empty());
  EXPECT_TRUE(looping->playing());
  EXPECT_EQ(player("loop.caf").plays, 1);
  looping->stop();
  EXPECT_FALSE(looping->playing());
  EXPECT_FALSE(looping->holdsItself());
}

TEST_F(SoundTest, FadeInRisesLinearlyAndLandsExactlyOnFullThenStopsTicking) {
  addSound("music.caf", 60);
  auto sound = Sound::soundWithName("music");
  sound->play(true);
  Date start = now();
  sound->fadeIn(3.0);
  EXPECT_EQ(player("music.caf").volumeAt(start), 0.0f);
  EXPECT_TRUE(sound->fading());
  EXPECT_EQ(sound->volume(), 1.0f);  // the target, while fading
  advance(1.5);
  EXPECT_NEAR(player("music.caf").volumeAt(now()), 0.5f, 0.01f);
  advance(1.55);
  EXPECT_EQ(player("music.caf").volumeAt(now()), 1.0f);
  EXPECT_FALSE(sound->fading());
  EXPECT_EQ(platform->runLoop().activeTimerCount(), 0u);
  EXPECT_TRUE(sound->playing());
}

// A busy main thread makes the fade's ticks come late and unevenly; the level still follows
// the time that has passed, not the number of ticks.
TEST_F(SoundTest, AFadeFollowsTheTimeElapsedHoweverLateItsTicksCome) {
  addSound("music.caf", 60);
  auto sound = Sound::soundWithName("music");
  sound->play(true);
  Date start = now();
  sound->fadeIn(3.0);
  for (double late : {0.05, 0.4, 0.01, 0.25, 0.7, 0.02, 0.3, 2.0}) {
    platform->runLoop().stall(late);
    advance(0.001);  // the overdue tick fires now
    double elapsed = now().secondsSince(start);
    EXPECT_NEAR(player("music.caf").volumeAt(now()), std::min(1.0, elapsed / 3.0), 0.01)
        << elapsed << " s into the fade";
  }
  EXPECT_EQ(player("music.caf").volumeAt(now()), 1.0f);
  EXPECT_FALSE(sound->fading());

  // The wall clock set back an hour, or forward, in the middle of a fade changes nothing:
  // the music neither falls silent nor jumps to its end.
  for (double step : {-3600.0, 3600.0}) {
    sound->fadeTo(0.2f, 2.0);
    advance(1.0);
    platform->runLoop().stepWallClock(step);
    advance(0.5);
    EXPECT_TRUE(sound->playing()) << step;
    EXPECT_TRUE(sound->fading()) << step;
    advance(0.6);
    EXPECT_FALSE(sound->fading()) << step;
    sound->fadeTo(1.0f, 0.1);
    advance(0.2);
  }
  EXPECT_TRUE(sound->playing());
}

TEST_F(SoundTest, FadeOutToZeroStopsWithoutTheNotificationAndReleasesTheSound) {
  addSound("music.caf", 60);
  std::weak_ptr<Sound> weak;
  {
    auto sound = Sound::soundWithName("music");
    sound->setVolume(0.8f);
    sound->play(true);
    sound->fadeOut(1.0);
    weak = sound;
  }
  advance(0.5);
  EXPECT_NEAR(player("music.caf").volumeAt(now()), 0.4f, 0.02f);
  advance(0.55);
  EXPECT_FALSE(player("music.caf").playing);
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.0f);
  EXPECT_TRUE(finishedSenders.empty());
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(platform->runLoop().activeTimerCount(), 0u);
}

TEST_F(SoundTest, AFadeDuringAFadeKeepsTheTimerAndHeadsFromTheLevelHeardNow) {
  addSound("music.caf", 60);
  auto sound = Sound::soundWithName("music");
  sound->play(true);
  sound->fadeIn(2.0);
  advance(1.0);
  float heard = player("music.caf").volumeAt(now());
  sound->fadeTo(0.25f, 1.0);
  EXPECT_EQ(platform->runLoop().activeTimerCount(), 1u);
  EXPECT_FLOAT_EQ(sound->volumeDelta(), 0.25f - heard);
  advance(0.5);
  EXPECT_NEAR(player("music.caf").volumeAt(now()), (heard + 0.25f) / 2, 0.02f);
  advance(0.6);
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.25f);
  EXPECT_FALSE(sound->fading());
}

TEST_F(SoundTest, ANewTargetAlreadyPassedEndsTheFadeAtTheNextTickOnIt) {
  addSound("music.caf", 60);
  auto sound = Sound::soundWithName("music");
  sound->play(true);
  sound->fadeIn(2.0);
  advance(1.0);
  sound->setVolume(0.3f);
  EXPECT_EQ(sound->volume(), 0.3f);
  EXPECT_TRUE(sound->fading());
  advance(1.0 / 60 + 0.001);
  EXPECT_FALSE(sound->fading());
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.3f);
  sound->setVolume(0.7f);  // not fading: at once
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.7f);
}

TEST_F(SoundTest, FadesThatCannotMoveEndAtOnceOnTheirTarget) {
  addSound("music.caf", 60);
  auto sound = Sound::soundWithName("music");
  sound->setVolume(0.5f);
  sound->play(true);
  sound->fadeTo(0.5f, 2.0);  // already there
  EXPECT_FALSE(sound->fading());
  sound->fadeTo(0.9f, 0.0);  // no time
  EXPECT_FALSE(sound->fading());
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.9f);
  sound->fadeTo(std::nanf(""), 1.0);
  EXPECT_FALSE(sound->fading());
  EXPECT_EQ(player("music.caf").volumeAt(now()), 0.9f);
  sound->fadeTo(2.0f, 1.0);  // beyond full: full is the target
  advance(1.1);
  EXPECT_EQ(player("music.caf").volumeAt(now()), 1.0f);
  EXPECT_FALSE(sound->fading());
  sound->fadeOut(-1);
  EXPECT_FALSE(sound->playing());
  EXPECT_EQ(platform->runLoop().activeTimerCount(), 0u);
}

}  // namespace
}  // namespace tumbla
