#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "platform/ApplicationContext.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SoundFile.h"
#include "value/LeadingNumber.h"

namespace tumbla {
namespace {

using testing::pumpUntil;
using testing::ScopedEnvironment;
using testing::TemporaryDirectory;
using testing::threadNames;
using testing::threadsLeftOver;

class LinuxPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.write("Info.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>HTML</key>"
                  "<string>index</string></dict></plist>");
    options_.bundleDirectory = bundle_.path();
  }

  std::unique_ptr<LinuxPlatform> create() {
    Result<std::unique_ptr<LinuxPlatform>> created = LinuxPlatform::create(options_);
    if (!created) {
      ADD_FAILURE() << created.reason();
      return nullptr;
    }
    return std::move(*created);
  }

  std::string problemCreating() {
    Result<std::unique_ptr<LinuxPlatform>> created = LinuxPlatform::create(options_);
    return created ? "" : created.reason();
  }

  TemporaryDirectory bundle_;
  TemporaryDirectory data_;
  LinuxPlatformOptions options_;
};

TEST_F(LinuxPlatformTest, ADataDirectoryHoldsTheDocumentsAndThePreferences) {
  options_.dataDirectory = data_.path() / "player";
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / "player" / "Documents");
  EXPECT_TRUE(std::filesystem::is_directory(data_.path() / "player" / "Documents"));
  EXPECT_EQ(platform->preferencesFile(), data_.path() / "player" / "preferences.plist");
  EXPECT_EQ(*platform->bundle().objectForInfoDictionaryKey("HTML"), Value("index"));

  platform->userDefaults().setInteger("theme", 3);
  ASSERT_TRUE(platform->userDefaults().synchronize());
  platform.reset();
  EXPECT_EQ(create()->userDefaults().integerForKey("theme"), 3);
}

TEST_F(LinuxPlatformTest, WithoutADataDirectoryTheXdgDirectoriesAreUsed) {
  ScopedEnvironment dataHome("XDG_DATA_HOME", (data_.path() / "data").c_str());
  ScopedEnvironment configHome("XDG_CONFIG_HOME", (data_.path() / "config").c_str());
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / "data" / "tumbla");
  EXPECT_EQ(platform->preferencesFile(), data_.path() / "config" / "tumbla" / "preferences.plist");
  EXPECT_TRUE(std::filesystem::is_directory(data_.path() / "config" / "tumbla"));
}

TEST_F(LinuxPlatformTest, RelativeXdgDirectoriesAreIgnoredForTheHomeDefaults) {
  ScopedEnvironment home("HOME", data_.path().c_str());
  ScopedEnvironment dataHome("XDG_DATA_HOME", "relative/data");
  ScopedEnvironment configHome("XDG_CONFIG_HOME", nullptr);
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / ".local" / "share" / "tumbla");
  EXPECT_EQ(platform->preferencesFile(), data_.path() / ".config" / "tumbla" / "preferences.plist");
}

TEST_F(LinuxPlatformTest, ProblemsAreReportedNotHidden) {
  options_.dataDirectory = data_.path();
  {
    ScopedEnvironment timeout("TUMBLA_SCRIPT_TIMEOUT_MS", "soon");
    EXPECT_NE(problemCreating().find("TUMBLA_SCRIPT_TIMEOUT_MS"), std::string::npos);
  }
  // A file where the data directory should be.
  options_.dataDirectory = data_.write("occupied", "a file");
  EXPECT_NE(problemCreating().find("documents directory"), std::string::npos);
  options_.dataDirectory = data_.path();
  options_.bundleDirectory = bundle_.path() / "missing";
  EXPECT_NE(problemCreating().find("missing"), std::string::npos);
}

TEST_F(LinuxPlatformTest, TheScriptTimeLimitCanBeShortenedFromTheEnvironment) {
  options_.dataDirectory = data_.path();
  ScopedEnvironment timeout("TUMBLA_SCRIPT_TIMEOUT_MS", "300");
  auto platform = create();
  ASSERT_TRUE(platform);
  auto webView = platform->userInterface().makeWebView({0, 0, 10, 10});
  testing::CapturedLog log;
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(webView->evaluateScript("while (true) {}"));
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_GE(waited, 0.25);
  EXPECT_LT(waited, 2.0);
}

// Decoding happens off the main loop: a clip asked to play before it is decoded counts as
// playing at once and sounds, whole and once, when it is there; asked again, it plays from
// memory.
TEST_F(LinuxPlatformTest, AClipAskedToPlayWhileItIsDecodedPlaysOnceWhenReady) {
  options_.dataDirectory = data_.path();
  options_.mute = true;
  options_.audioRecording = data_.path() / "heard.wav";
  std::string clip = bundle_.write("clip.wav", testing::toneWav(22050, 1, 0.3, 440)).string();
  std::unique_ptr<LinuxPlatform> created = create();
  ASSERT_TRUE(created);
  LinuxPlatform& platform = *created;
  ApplicationContext::install(std::move(created));
  for (const char* time : {"while decoding", "decoded"}) {
    SCOPED_TRACE(time);
    Result<std::unique_ptr<AudioPlayer>> player = platform.audio().makePlayer(clip);
    ASSERT_TRUE(player) << player.reason();
    int finished = 0;
    (*player)->setFinishedHandler([&] { ++finished; });
    (*player)->play();
    EXPECT_TRUE((*player)->isPlaying());
    ASSERT_TRUE(pumpUntil([&] { return finished > 0; }, 20));
    // A second report would follow the first closely.
    pumpUntil([] { return false; }, 0.2);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE((*player)->isPlaying());
    EXPECT_NEAR((*player)->duration(), 0.3, 0.001);
  }
  EXPECT_EQ(platform.audio().clips().decodeCount(), 1u);
  ApplicationContext::uninstall();

  // Both plays were heard whole: 0.6 s of tone in the recording.
  Result<std::unique_ptr<SoundFile>> heard = SoundFile::open(data_.path() / "heard.wav");
  ASSERT_TRUE(heard) << heard.reason();
  std::vector<float> samples(static_cast<std::size_t>((*heard)->frames() * (*heard)->channels()));
  (*heard)->read(samples.data(), static_cast<std::size_t>((*heard)->frames()));
  double loudSeconds =
      static_cast<double>(std::count_if(samples.begin(), samples.end(),
                                        [](float sample) { return std::abs(sample) > 0.05f; })) /
      (*heard)->channels() / (*heard)->rate();
  // A tone is loud for most of its cycle, never all of it.
  EXPECT_GT(loudSeconds, 0.6 * 0.8);
  EXPECT_LT(loudSeconds, 0.6 * 1.01);
}

TEST_F(LinuxPlatformTest, DeviceFactsComeFromTheOptionsAndTheSystem) {
  options_.dataDirectory = data_.path();
  options_.idiom = UserInterfaceIdiom::Pad;
  auto platform = create();
  ASSERT_TRUE(platform);
  DeviceFacts facts = platform->application().deviceFacts();
  utsname system{};
  ASSERT_EQ(uname(&system), 0);
  EXPECT_EQ(facts.idiom, UserInterfaceIdiom::Pad);
  EXPECT_EQ(facts.model, system.machine);
  // A modern device whatever the distribution's numbering, so the host never takes the
  // older system's launch path.
  EXPECT_EQ(facts.systemVersion, kLinuxSystemVersion);
  EXPECT_GE(leadingReal(facts.systemVersion), 4.0);
  EXPECT_EQ(platform->userInterface().mainScreenBounds(), (Rect{0, 0, 768, 1024}));
}

TEST_F(LinuxPlatformTest, TearingThePlatformDownLeavesNoThreadOfOursAndCallsNoHandler) {
  testing::LoopbackHttpServer server;
  server.route("/slow", {.hang = true});
  // Long enough to be streamed: the mixer, its clock and its decoder all run.
  std::string music = bundle_.write("music.wav", testing::toneWav(8000, 1, 12, 440)).string();
  // Short enough to be decoded whole, on the clip decoder.
  std::string clip = bundle_.write("clip.wav", testing::toneWav(44100, 2, 9.5, 440)).string();
  options_.dataDirectory = data_.path();
  std::multiset<std::string> before = threadNames();
  int calls = 0;
  {
    std::unique_ptr<LinuxPlatform> created = create();
    ASSERT_TRUE(created);
    Platform* platform = &ApplicationContext::install(std::move(created)).platform();
    UrlRequest request;
    request.url = server.url("/slow");
    UrlConnectionHandlers handlers;
    handlers.didReceiveResponse = [&](const UrlResponse&) { ++calls; };
    handlers.didFail = [&](const Error&) { ++calls; };
    Subscription load = platform->urlLoader().start(request, handlers);
    Result<std::unique_ptr<AudioPlayer>> player = platform->audio().makePlayer(music);
    ASSERT_TRUE(player) << player.reason();
    (*player)->setFinishedHandler([&] { ++calls; });
    (*player)->play();
    Result<std::unique_ptr<AudioPlayer>> decoding = platform->audio().makePlayer(clip);
    ASSERT_TRUE(decoding) << decoding.reason();
    (*decoding)->setFinishedHandler([&] { ++calls; });
    (*decoding)->play();
    auto timer = platform->runLoop().scheduleTimer(0.01, true, [&] { ++calls; });
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/slow") == 1; }, 20));
    EXPECT_TRUE((*player)->isPlaying());
    // The check sees the threads the platform started.
    EXPECT_NE(threadsLeftOver(before, threadNames()), std::vector<std::string>{});
    calls = 0;

    // The platform goes first; what the host holds of it goes afterwards.
    ApplicationContext::uninstall();
    pumpUntil([] { return false; }, 0.2);
    load.cancel();
    player->reset();
    decoding->reset();
  }
  pumpUntil([] { return false; }, 0.2);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(threadsLeftOver(before, threadNames()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tumbla
