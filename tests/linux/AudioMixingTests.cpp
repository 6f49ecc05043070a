#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/AudioMixer.h"
#include "platform/linux/ClipCache.h"
#include "platform/linux/MusicStream.h"
#include "platform/linux/SoftLimit.h"
#include "platform/linux/SoundFile.h"
#include "platform/linux/WavRecorder.h"

namespace tumbla::testing {
namespace {

// Upward zero crossings of the left channel per second: the pitch heard.
double pitch(const std::vector<float>& stereo, int rate) {
  int crossings = 0;
  for (std::size_t i = 2; i < stereo.size(); i += 2)
    crossings += stereo[i - 2] < 0 && stereo[i] >= 0;
  return crossings / (static_cast<double>(stereo.size() / 2) / rate);
}

TEST(AudioDecoding, FilesThatHoldNoSoundAreRefusedAndTruncatedOnesKeepWhatTheyHave) {
  TemporaryDirectory dir;
  EXPECT_FALSE(SoundFile::open(dir.write("empty.caf", "").string()));
  EXPECT_FALSE(SoundFile::open(dir.write("text.caf", "just some text").string()));
  EXPECT_FALSE(SoundFile::open((dir.path() / "missing.wav").string()));
  EXPECT_FALSE(SoundFile::open(dir.path().string()));

  std::string whole = toneWav(22050, 1, 1.0, 441);
  auto path = dir.write("cut.wav", whole.substr(0, whole.size() / 2)).string();
  auto file = SoundFile::open(path);
  ASSERT_TRUE(file) << file.reason();
  ClipCache cache;
  auto clip = cache.clip(path, **file);
  ASSERT_TRUE(clip);
  EXPECT_NEAR((*clip)->frames(), 11025, 50);
}

TEST(AudioDecoding, AnEffectIsDecodedOnceHoweverOftenItIsOpened) {
  TemporaryDirectory dir;
  auto path = dir.write("pop.wav", toneWav(44100, 2, 0.2, 1000)).string();
  ClipCache cache;
  std::shared_ptr<const DecodedClip> first;
  for (int i = 0; i < 5; ++i) {
    auto file = SoundFile::open(path);
    auto clip = cache.clip(path, **file);
    ASSERT_TRUE(clip);
    if (!first) first = *clip;
    EXPECT_EQ(clip->get(), first.get());
  }
  EXPECT_EQ(cache.decodeCount(), 1u);
}

// The mixer as the host runs it, muted: its own clock mixes in real time and the tap hears
// every buffer. The tap itself turns the voice down after half a second of sound and takes
// it away at 0.8 s, so what is heard does not depend on how fast the test runs.
TEST(AudioMixing, SumsAboveFullScaleBendSmoothlyAndQuietOnesPassUnchanged) {
  for (float quiet : {0.0f, 0.25f, -0.5f, 0.8f, -0.8f}) EXPECT_EQ(softLimit(quiet), quiet);
  float previous = softLimit(0.8f);
  for (float loud = 0.81f; loud < 2.0f; loud += 0.01f) {
    float limited = softLimit(loud);
    EXPECT_GT(limited, previous) << loud;  // louder stays louder
    EXPECT_LT(limited, 1.0f) << loud;      // and never reaches the device's edge
    EXPECT_EQ(softLimit(-loud), -limited) << loud;
    previous = limited;
  }
  // Two voices at 0.7 each still sound louder than one, not clipped flat.
  EXPECT_GT(softLimit(1.4f), 0.95f);
  EXPECT_LE(softLimit(100.0f), 1.0f);
  EXPECT_TRUE(std::isnan(softLimit(std::nanf(""))));
}

TEST(AudioMixing, AVoiceAtAnotherRateKeepsItsPitchAndFollowsItsLevelUntilRemoved) {
  constexpr std::size_t kLowered = 24000, kRemoved = 38400, kHeard = 57600;  // frames
  TemporaryDirectory dir;
  auto path = dir.write("low.wav", toneWav(22050, 1, 1.0, 500)).string();
  ClipCache cache;
  auto file = SoundFile::open(path);
  auto low = std::make_shared<Voice>(std::make_shared<ClipSource>(*cache.clip(path, **file)));

  std::mutex mutex;
  std::condition_variable grown;
  std::vector<float> heard;  // from the first buffer with sound in it
  std::size_t loweredAt = 0, removedAt = 0;
  std::shared_ptr<AudioMixer> mixer;
  auto tap = [&](const float* samples, std::size_t frames) {
    std::lock_guard lock(mutex);
    const float* end = samples + 2 * frames;
    if (heard.empty() && std::all_of(samples, end, [](float s) { return s == 0.0f; })) return;
    if (heard.size() >= 2 * kHeard) return;
    heard.insert(heard.end(), samples, end);
    std::size_t at = heard.size() / 2;
    if (loweredAt == 0 && at >= kLowered) {
      low->volume = 0.5f;
      loweredAt = at;
    }
    if (removedAt == 0 && at >= kRemoved) {
      mixer->remove(low.get());
      removedAt = at;
    }
    grown.notify_all();
  };
  mixer = AudioMixer::start(
      {true, 48000, 2, 256}, [](const std::function<void()>&) {}, tap);
  ASSERT_TRUE(mixer->prepare(*low));
  mixer->add(low);

  std::unique_lock lock(mutex);
  ASSERT_TRUE(
      grown.wait_for(lock, std::chrono::seconds(60), [&] { return heard.size() >= 2 * kHeard; }));
  auto peak = [&heard](std::size_t from, std::size_t to) {
    float peak = 0;
    for (std::size_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::abs(heard[i]));
    return peak;
  };
  EXPECT_NEAR(pitch({heard.begin(), heard.begin() + 2 * kLowered}, 48000), 500, 10);
  EXPECT_NEAR(peak(0, loweredAt), 0.5f, 0.02f);
  // The level glides to the new volume over one buffer.
  EXPECT_NEAR(peak(loweredAt + 256, removedAt), 0.25f, 0.02f);
  EXPECT_EQ(peak(removedAt, kHeard), 0.0f);
}

TEST(AudioMixing, StreamsPlayEveryPassAndThenEnd) {
  TemporaryDirectory dir;
  auto path = dir.write("music.wav", toneWav(48000, 2, 1.5, 300)).string();
  auto stream = std::make_shared<MusicStream>(SoundFile::open(path).value());
  stream->setLoops(1);
  std::vector<float> buffer(1024 * 2);
  std::size_t frames = 0;
  for (int i = 0; i < 10000 && !stream->ended(); ++i) {
    stream->fill();
    frames += stream->read(buffer.data(), 1024);
  }
  EXPECT_TRUE(stream->ended());
  EXPECT_EQ(frames, 2u * 72000u);
  stream->restart();
  EXPECT_FALSE(stream->ended());
  EXPECT_EQ(stream->read(buffer.data(), 1024), 1024u);
}

TEST(AudioRecording, TheFileAppearsWholeWithAHeaderThatMatchesItsSamples) {
  TemporaryDirectory dir;
  auto target = dir.path() / "out.wav";
  auto recorder = WavRecorder::open(target, 48000, 2);
  ASSERT_TRUE(recorder) << recorder.reason();
  std::vector<float> samples = {0.5f, -0.5f, 2.0f, -2.0f};
  for (int i = 0; i < 1000; ++i) (*recorder)->append(samples.data(), 2);
  EXPECT_FALSE(std::filesystem::exists(target));
  ASSERT_TRUE((*recorder)->finish());
  std::ifstream in(target, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 44u + 1000 * 4 * 2);
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(bytes.substr(40, 4), littleEndian(8000, 4));
  EXPECT_EQ(bytes.substr(44, 8), littleEndian(16384, 2) + littleEndian(0xC000, 2) +
                                     littleEndian(32767, 2) + littleEndian(0x8001, 2));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav.partial"));

  EXPECT_FALSE(WavRecorder::open(dir.path(), 48000, 2));
  EXPECT_FALSE(WavRecorder::open(dir.path() / "no" / "such.wav", 48000, 2));
}

}  // namespace
}  // namespace tumbla::testing
