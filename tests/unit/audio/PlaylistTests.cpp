#include <algorithm>
#include <cstdlib>
#include <set>

#include "AudioFixture.h"
#include "audio/Playlist.h"
#include "audio/Shuffle.h"
#include "audio/SoundManager.h"

namespace tumbla {
namespace {

std::vector<std::string> nineTracks() {
  std::vector<std::string> tracks;
  for (int i = 1; i <= 9; ++i) tracks.push_back("track" + std::to_string(i));
  return tracks;
}

TEST(Shuffle, EndsAsAPermutationWhateverTheComparisonAnswers) {
  std::vector<int> original(37);
  for (int i = 0; i < 37; ++i) original[i] = i;
  int calls = 0;
  std::vector<std::function<int(int, int)>> comparisons = {
      [](int, int) { return 1; }, [](int, int) { return -1; }, [](int, int) { return 0; },
      [&calls](int, int) { return ++calls % 3 - 1; }};
  for (auto& compare : comparisons) {
    std::vector<int> items = original;
    sortWithUnreliableComparison(items, compare);
    std::vector<int> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, original);
  }
}

TEST(Shuffle, ShuffledArrayLeavesItsSourceAndMovesThingsAround) {
  std::srand(7);
  std::vector<std::string> tracks = nineTracks();
  int reordered = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> shuffled = shuffledArray(tracks);
    EXPECT_EQ(tracks, nineTracks());
    std::vector<std::string> sorted = shuffled;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, nineTracks());
    if (shuffled != tracks) ++reordered;
  }
  EXPECT_GE(reordered, 18);
}

class PlaylistTest : public testing::AudioFixture {
 protected:
  void SetUp() override {
    AudioFixture::SetUp();
    for (const std::string& track : nineTracks()) addSound(track + ".caf", 60);
  }
  Playlist& playlist() { return Playlist::sharedInstance(); }
  std::string playing() {
    auto music = SoundManager::sharedManager().currentMusic();
    return music ? music->name() : "";
  }
};

TEST_F(PlaylistTest, ShuffledTracksKeepEveryNameOnceAndSwitchingOffKeepsTheOrder) {
  playlist().setShuffle(true);
  playlist().setTracks(nineTracks());
  std::vector<std::string> order = playlist().tracks();
  std::vector<std::string> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, nineTracks());
  playlist().setShuffle(false);
  EXPECT_EQ(playlist().tracks(), order);

  // Each launch has an order of its own, even where the process starts from the same state.
  std::set<std::vector<std::string>> launches;
  for (int launch = 0; launch < 3; ++launch) {
    SimPlatform::install();
    std::srand(1);
    playlist().setShuffle(true);
    playlist().setTracks(nineTracks());
    launches.insert(playlist().tracks());
  }
  EXPECT_GT(launches.size(), 1u);
}

TEST_F(PlaylistTest, NextStartsThePresentTrackThenStepsAndWrapsAround) {
  playlist().setTracks(nineTracks());
  playlist().next();
  EXPECT_EQ(playing(), "track1");
  EXPECT_EQ(playlist().trackIndex(), 0u);
  for (int i = 2; i <= 9; ++i) playlist().next();
  EXPECT_EQ(playing(), "track9");
  playlist().next();
  EXPECT_EQ(playing(), "track1");
  EXPECT_TRUE(SoundManager::sharedManager().currentMusic()->playing());
  advance(120);
  EXPECT_TRUE(finishedSenders.empty());  // tracks loop
  playlist().stop();
  EXPECT_FALSE(SoundManager::sharedManager().playingMusic());
}

TEST_F(PlaylistTest, NewTracksKeepTheIndexAndAShorterListStartsAgainAtTheFirst) {
  playlist().setTracks(nineTracks());
  playlist().next();
  playlist().next();
  playlist().next();
  EXPECT_EQ(playlist().trackIndex(), 2u);
  playlist().setTracks({"track5", "track6", "track7", "track8"});
  EXPECT_EQ(playlist().trackIndex(), 2u);
  playlist().next();
  EXPECT_EQ(playing(), "track8");
  playlist().setTracks({"track4"});
  playlist().next();
  EXPECT_EQ(playing(), "track4");
  playlist().setTracks({});
  playlist().next();
  playlist().play();
  EXPECT_EQ(playing(), "track4");
}

}  // namespace
}  // namespace tumbla
