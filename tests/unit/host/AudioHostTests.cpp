#include <gtest/gtest.h>

#include <algorithm>

#include "audio/Playlist.h"
#include "audio/SoundManager.h"
#include "host/NumericOrder.h"
#include "platform/Log.h"
#include "unit/host/HostFixture.h"

namespace tumbla::testing {
namespace {

class AudioHostTest : public HostFixture {
 protected:
  void addDefaults(Dictionary defaults) {
    platform->simBundle().addResource("Defaults.plist",
                                      platform->simPropertyLists().bytesFor(std::move(defaults)));
  }
  void sendCommand(const std::string& url) { webView().navigate(*Url::parse(url)); }
  SimAudio& audio() { return platform->audio(); }
  SoundManager& sounds() { return SoundManager::sharedManager(); }
};

TEST_F(AudioHostTest, StartUpFollowsEnableMusicAndWarmsTheFirstSound) {
  platform->simBundle().addResource("theme.caf", "sim-audio:30");
  launch();
  // "enableMusic" is missing from the fixture's defaults: other programs' music may play.
  EXPECT_TRUE(sounds().allowsBackgroundMusic());
  EXPECT_EQ(audio().sessionCategory(), AudioSessionCategory::Ambient);
  ASSERT_EQ(audio().players().size(), 1u);
  EXPECT_EQ(audio().players()[0]->prepares, 1);
  EXPECT_EQ(audio().players()[0]->plays, 0);

  install();
  addDefaults({{"enableMusic", Value::boolean(true)}, {"musicEnabled", Value::boolean(true)}});
  launchAndLoad();
  EXPECT_FALSE(sounds().allowsBackgroundMusic());
  EXPECT_EQ(audio().categoryChanges(), 0);
}

TEST_F(AudioHostTest, TheMusicSettingDecidesWhetherOtherProgramsMayPlay) {
  launchAndLoad();  // musicEnabled is on in the fixture's defaults
  EXPECT_FALSE(sounds().allowsBackgroundMusic());
  sendCommand("tumbla://settings.prismora/update?theme=1");
  EXPECT_TRUE(sounds().allowsBackgroundMusic());
  sendCommand("tumbla://settings.prismora/update?musicEnabled=0");
  EXPECT_FALSE(sounds().allowsBackgroundMusic());
}

TEST_F(AudioHostTest, TheControllerHandsTheNineTracksShuffledToThePlaylist) {
  for (int i = 1; i <= 9; ++i) {
    platform->simBundle().addResource("track" + std::to_string(i) + ".caf", "sim-audio:60");
  }
  launchAndLoad();
  Playlist& playlist = Playlist::sharedInstance();
  EXPECT_TRUE(playlist.shuffle());
  std::vector<std::string> tracks = playlist.tracks();
  std::sort(tracks.begin(), tracks.end());
  std::vector<std::string> expected;
  for (int i = 1; i <= 9; ++i) expected.push_back("track" + std::to_string(i));
  EXPECT_EQ(tracks, expected);

  sendCommand("tumbla://audio.prismora/switchTrack");
  ASSERT_TRUE(sounds().playingMusic());
  EXPECT_EQ(sounds().currentMusic()->name(), playlist.tracks()[0]);
  EXPECT_EQ(audio().playingCount(), 1);
}

TEST_F(AudioHostTest, ScoresAreNeverSentAndTheUnsentListIsStoredEmpty) {
  launchAndLoad();
  sendCommand("tumbla://gameCenter.prismora/submit?score=1200&level=7&difficulty=hard");
  sendCommand("tumbla://gameCenter.prismora/scores?difficulty=hard");
  platform->application().send(LifecycleEvent::DidEnterBackground);
  const Value* unsent = platform->storedPreferences()->stored.find("unsentScores");
  ASSERT_NE(unsent, nullptr);
  ASSERT_NE(unsent->arrayIf(), nullptr);
  EXPECT_TRUE(unsent->arrayIf()->empty());
  EXPECT_EQ(platform->storedPreferences()->stored.find("gameCenter"), nullptr);
}

TEST_F(AudioHostTest, LeaderboardIdentifiersNameTheKindOfDeviceAndLogTheKey) {
  std::vector<std::string> lines;
  LogSink previous = setLogSink([&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(TumblaViewController::leaderboardCategory("easy"), "com.Zelvor.Tumbla.easy.iphone");
  platform->application().setDeviceFacts({UserInterfaceIdiom::Pad, "iPad2,1", "5.0"});
  EXPECT_EQ(TumblaViewController::leaderboardCategory("easy"), "com.Zelvor.Tumbla.easy.ipad");
  setLogSink(previous);
  EXPECT_EQ(lines, (std::vector<std::string>{"easy", "easy"}));
}

TEST_F(AudioHostTest, TheGameServiceNeedsTheServiceARecentSystemAndANewerDevice) {
  auto available = [this](const char* model, const char* version, bool service) {
    platform->application().setDeviceFacts({UserInterfaceIdiom::Phone, model, version, service});
    return TumblaViewController::isGameCenterAvailable();
  };
  EXPECT_TRUE(available("iPhone3,1", "4.1", true));
  EXPECT_TRUE(available("iPhone3,1", "4.10", true));
  EXPECT_FALSE(available("iPhone3,1", "4.0", true));
  EXPECT_FALSE(available("iPhone3,1", "4.1", false));
  for (const char* older : {"iPhone1,1", "iPhone1,2", "iPod1,1", "iPod1,2"}) {
    EXPECT_FALSE(available(older, "5.0", true)) << older;
  }
}

TEST(NumericOrder, DigitRunsCompareByValue) {
  EXPECT_GT(compareNumerically("4.10", "4.9"), 0);
  EXPECT_LT(compareNumerically("4.0", "4.1"), 0);
  EXPECT_EQ(compareNumerically("4.01", "4.1"), 0);
  EXPECT_LT(compareNumerically("4", "4.1"), 0);
  EXPECT_GT(compareNumerically("12", "9"), 0);
  EXPECT_LT(compareNumerically("a", "b"), 0);
  EXPECT_EQ(compareNumerically("", ""), 0);
}

}  // namespace
}  // namespace tumbla::testing
