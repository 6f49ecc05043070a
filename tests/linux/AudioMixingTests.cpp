#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/AudioMixer.h"
#include "platform/linux/ClipCache.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/MusicStream.h"
#include "platform/linux/SoftLimit.h"
#include "platform/linux/SoundFile.h"
#include "platform/linux/WavRecorder.h"

namespace tumbla::testing {
namespace {

// The amplitude of `frequency` in the left channel over `frames` frames from `from`.
double level(const std::vector<float>& stereo, int rate, double frequency, std::size_t from,
             std::size_t frames) {
  std::complex<double> sum;
  for (std::size_t n = 0; n < frames; ++n)
    sum += static_cast<double>(stereo[2 * (from + n)]) *
           std::polar(1.0, -2 * M_PI * frequency * static_cast<double>(n) / rate);
  return 2 * std::abs(sum) / static_cast<double>(frames);
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
  std::shared_ptr<const DecodedClip> clip = decodeClip(**file);
  ASSERT_TRUE(clip);
  EXPECT_NEAR(clip->frames(), 11025, 50);
  // A decoding no longer wanted gives nothing.
  std::atomic<bool> cancelled{true};
  EXPECT_EQ(decodeClip(**SoundFile::open(path), cancelled), nullptr);
}

// Asked for while it is being decoded and afterwards, an effect is decoded once, on the
// cache's worker, and every asker gets the same clip: the later ones at once.
TEST(AudioDecoding, AnEffectIsDecodedOnceHoweverOftenItIsAskedFor) {
  TemporaryDirectory dir;
  auto path = dir.write("pop.wav", toneWav(44100, 2, 0.2, 1000)).string();
  HostDispatcher dispatcher;
  GLibRunLoop runLoop(dispatcher);
  ClipCache cache(runLoop);
  std::vector<std::shared_ptr<const DecodedClip>> given;
  auto ask = [&] {
    cache.clip(path, SoundFile::open(path).value(),
               [&](const std::shared_ptr<const DecodedClip>& clip) { given.push_back(clip); });
  };
  for (int i = 0; i < 3; ++i) ask();
  EXPECT_TRUE(given.empty());
  ASSERT_TRUE(pumpUntil([&] { return given.size() == 3; }, 20));
  ask();
  ASSERT_EQ(given.size(), 4u);
  for (const auto& clip : given) EXPECT_EQ(clip.get(), given.front().get());
  EXPECT_EQ(given.front()->frames(), 8820u);
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

// Two voices at rates other than the mixer's, one mono and one stereo, sound together at
// their own pitches, each at its own level; the low one follows its volume until removed.
// The sum stays below where the limiter bends it, so the levels simply add.
TEST(AudioMixing, VoicesAtOtherRatesKeepTheirPitchesAddTheirLevelsAndFollowTheirVolumes) {
  constexpr std::size_t kLowered = 24000, kRemoved = 38400, kHeard = 57600;  // frames
  constexpr std::size_t kWindow = 4800;  // a whole number of cycles of both tones
  TemporaryDirectory dir;
  auto voice = [&](const std::string& name, int rate, int channels, double frequency) {
    auto path = dir.write(name, toneWav(rate, channels, 2.0, frequency)).string();
    auto file = SoundFile::open(path);
    return std::make_shared<Voice>(std::make_shared<ClipSource>(decodeClip(**file)));
  };
  auto low = voice("low.wav", 22050, 1, 500);
  auto high = voice("high.wav", 44100, 2, 1200);
  low->volume = 0.6f;   // heard at 0.3
  high->volume = 0.8f;  // heard at 0.4

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
      low->volume = 0.3f;
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
  ASSERT_TRUE(mixer->prepare(*high));
  mixer->add(low);
  mixer->add(high);

  std::unique_lock lock(mutex);
  ASSERT_TRUE(
      grown.wait_for(lock, std::chrono::seconds(60), [&] { return heard.size() >= 2 * kHeard; }));
  struct Span {
    const char* what;
    std::size_t from;
    double low, high;
  };
  // A buffer's grace after each change: the first may hold one voice only, and a new
  // volume glides in over one buffer.
  for (const Span& span : {Span{"both", 512, 0.3, 0.4}, Span{"both", 512 + 2 * kWindow, 0.3, 0.4},
                           Span{"low lowered", loweredAt + 256, 0.15, 0.4},
                           Span{"low removed", removedAt + 256, 0.0, 0.4},
                           Span{"low removed", removedAt + 256 + 2 * kWindow, 0.0, 0.4}}) {
    SCOPED_TRACE(std::string(span.what) + " from frame " + std::to_string(span.from));
    EXPECT_NEAR(level(heard, 48000, 500, span.from, kWindow), span.low, 0.02);
    EXPECT_NEAR(level(heard, 48000, 1200, span.from, kWindow), span.high, 0.02);
  }
  auto peak = [&heard](std::size_t from, std::size_t to) {
    float peak = 0;
    for (std::size_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::abs(heard[i]));
    return peak;
  };
  // Loud together, yet never past what the two add up to.
  EXPECT_GT(peak(512, loweredAt), 0.55f);
  EXPECT_LE(peak(512, loweredAt), 0.71f);
}

// Every source plays its passes and ends; told to repeat without end it is still going many
// passes later (the game's music is a loop of a few seconds).
TEST(AudioMixing, SourcesPlayEveryPassAndRepeatUntilStoppedWhenToldTo) {
  TemporaryDirectory dir;
  auto path = dir.write("music.wav", toneWav(48000, 2, 1.5, 300)).string();
  constexpr std::size_t kPass = 72000;  // frames
  auto clipFile = SoundFile::open(path);
  struct Kind {
    const char* name;
    std::shared_ptr<VoiceSource> source;
    std::function<void()> fill;
  };
  auto stream = std::make_shared<MusicStream>(SoundFile::open(path).value());
  std::vector<Kind> kinds = {{"stream", stream, [stream] { stream->fill(); }},
                             {"clip", std::make_shared<ClipSource>(decodeClip(**clipFile)), [] {}}};
  for (const auto& kind : kinds) {
    for (int loops : {0, 1, 3, -1}) {
      SCOPED_TRACE(std::string(kind.name) + " with loops " + std::to_string(loops));
      kind.source->restart();
      kind.source->setLoops(loops);
      std::size_t passes = loops < 0 ? 10 : static_cast<std::size_t>(loops) + 1;
      std::vector<float> buffer(2048);  // 1024 stereo frames
      std::size_t frames = 0;
      for (int i = 0; i < 100000 && !kind.source->ended() && frames < (passes + 2) * kPass; ++i) {
        kind.fill();
        frames += kind.source->read(buffer.data(), 1024);
      }
      if (loops < 0) {
        EXPECT_FALSE(kind.source->ended());
        EXPECT_GE(frames, (passes + 2) * kPass);
      } else {
        EXPECT_TRUE(kind.source->ended());
        EXPECT_EQ(frames, passes * kPass);
      }
    }
    kind.source->restart();
    kind.source->setLoops(0);
    EXPECT_FALSE(kind.source->ended());
    kind.fill();
    EXPECT_EQ(kind.source->read(std::vector<float>(2048).data(), 1024), 1024u);
  }
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
