// The audio figures: what mixing costs the audio thread, how soon a "/playSound" command is
// heard, and what memory music takes.
//
//   mix/...          Google Benchmark: one 256-frame buffer of 32 overlapping effects and a
//                    streamed music; "core_share" is the time per buffer over the buffer's
//                    duration (the share of one core the audio thread needs).
//   latency          from the command reaching the dispatcher to the first non-zero sample
//                    leaving the mixer, against one buffer's duration.
//   memory           resident memory after playing nine three-minute tracks in turn, and
//                    after one effect played a thousand times, against decoding them whole.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/Playlist.h"
#include "audio/SoundManager.h"
#include "bridge/URLDispatcher.h"
#include "platform/ApplicationContext.h"
#include "platform/Platform.h"
#include "platform/linux/AudioMixer.h"
#include "platform/linux/ClipCache.h"
#include "platform/linux/MusicStream.h"
#include "platform/linux/SdlAudio.h"
#include "platform/linux/SoundFile.h"
#include "platform/sim/SimApplication.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimPreferencesStore.h"
#include "platform/sim/SimPropertyLists.h"
#include "platform/sim/SimRunLoop.h"
#include "platform/sim/SimStorage.h"
#include "platform/sim/SimUrlLoader.h"
#include "platform/sim/SimUserInterface.h"

namespace tumbla {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr int kBufferFrames = 256;

std::filesystem::path benchFolder() {
  static std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tumbla-audio-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

// A CAF file of 16-bit PCM holding a steady tone.
std::string writeTone(const std::string& name, int rate, int channels, double seconds,
                      double frequency) {
  std::filesystem::path path = benchFolder() / name;
  if (std::filesystem::exists(path)) return path.string();
  auto frames = static_cast<std::size_t>(seconds * rate);
  std::ofstream out(path, std::ios::binary);
  auto put = [&out](std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.put(static_cast<char>(value >> (8 * i)));
  };
  out.write("caff", 4);
  put(0x00010000, 4);
  out.write("desc", 4);
  put(32, 8);
  double rateValue = rate;
  std::uint64_t rateBits;
  std::memcpy(&rateBits, &rateValue, 8);
  put(rateBits, 8);
  out.write("lpcm", 4);
  put(0, 4);
  put(2 * channels, 4);
  put(1, 4);
  put(channels, 4);
  put(16, 4);
  out.write("data", 4);
  put(frames * channels * 2 + 4, 8);
  put(0, 4);
  // One second repeated: whole cycles of the tone, so it joins without a click.
  std::vector<char> second;
  for (int i = 0; i < rate; ++i) {
    auto sample = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * frequency * i / rate));
    for (int c = 0; c < channels; ++c) {
      second.push_back(static_cast<char>(sample >> 8));
      second.push_back(static_cast<char>(sample & 0xFF));
    }
  }
  for (std::size_t done = 0; done < frames; done += static_cast<std::size_t>(rate)) {
    std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(rate), frames - done);
    out.write(second.data(), static_cast<std::streamsize>(take * channels * 2));
  }
  return path.string();
}

std::shared_ptr<Voice> clipVoice(AudioMixer& mixer, const std::string& path) {
  auto file = SoundFile::open(path);
  auto source = std::make_shared<ClipSource>(decodeClip(**file));
  source->setLoops(-1);
  auto voice = std::make_shared<Voice>(source);
  mixer.prepare(*voice);
  return voice;
}

void mix(benchmark::State& state, bool convert) {
  // Started as the host starts it, muted: its clock mixes a buffer in real time now and
  // then beside the loop below, which mixes them as fast as it can.
  auto mixer = AudioMixer::start(
      {true, kRate, 2, kBufferFrames}, [](const std::function<void()>&) {}, nullptr);
  std::string slow = convert ? writeTone("effect-22k-mono.caf", 22050, 1, 1.0, 630)
                             : writeTone("effect-48k-stereo-low.caf", kRate, 2, 1.0, 630);
  std::string fast = writeTone("effect-48k-stereo.caf", kRate, 2, 0.7, 1200);
  std::vector<std::shared_ptr<Voice>> voices;
  for (int i = 0; i < 32; ++i) {
    voices.push_back(clipVoice(*mixer, i % 2 ? slow : fast));
    voices.back()->volume = 0.03f;
  }
  std::string musicPath = convert ? writeTone("music-44k.caf", 44100, 2, 180, 220)
                                  : writeTone("music-48k.caf", kRate, 2, 180, 220);
  auto stream = std::make_shared<MusicStream>(SoundFile::open(musicPath).value());
  stream->setLoops(-1);
  auto music = std::make_shared<Voice>(stream);
  mixer->prepare(*music);
  mixer->feed(stream);
  voices.push_back(music);
  for (const auto& voice : voices) mixer->add(voice);

  std::vector<float> out(kBufferFrames * 2);
  for (auto _ : state) {
    mixer->render(out.data(), kBufferFrames);
    benchmark::DoNotOptimize(out.data());
    // The decoder thread keeps up in real use; here buffers come faster than real time.
    if (state.iterations() % 64 == 0) stream->fill();
  }
  double bufferSeconds = static_cast<double>(kBufferFrames) / kRate;
  state.counters["core_share"] = benchmark::Counter(
      bufferSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  mixer->shutDown();
}
BENCHMARK_CAPTURE(mix, effects32_music_resampled, true);
BENCHMARK_CAPTURE(mix, effects32_music_at_output_rate, false);

// Finish reports come from the mixing thread; the simulated run loop is single-threaded,
// so they wait here until the benchmark's main thread takes them.
class BenchRunLoop : public SimRunLoop {
 public:
  void postToMain(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    handedOver_.push_back(std::move(task));
  }
  void takeHandedOver() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex_);
      tasks.swap(handedOver_);
    }
    for (auto& task : tasks) task();
  }

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> handedOver_;
};

// The real audio service under the components, with a bundle in a folder.
class BenchPlatform : public Platform {
 public:
  explicit BenchPlatform(AudioMixer::Tap tap)
      : Platform(std::make_unique<SimStorage>(benchFolder()), SimPreferencesStore::maker()),
        bundle_(benchFolder()),
        audio_(runLoop_, {true, nullptr, std::move(tap)}) {}

  BenchRunLoop& runLoop() override { return runLoop_; }
  const Bundle& bundle() const override { return bundle_; }
  const PropertyLists& propertyLists() const override { return propertyLists_; }
  Application& application() override { return application_; }
  UserInterface& userInterface() override { return userInterface_; }
  SdlAudio& audio() override { return audio_; }
  UrlLoader& urlLoader() override { return urlLoader_; }

 private:
  BenchRunLoop runLoop_;
  SimBundle bundle_;
  SimPropertyLists propertyLists_;
  SimApplication application_;
  SimUserInterface userInterface_;
  SimUrlLoader urlLoader_{runLoop_};
  SdlAudio audio_;
};

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return 0;
}

void measureLatency() {
  std::atomic<long long> firstSoundAt{0};
  auto tap = [&firstSoundAt](const float* samples, std::size_t frames) {
    if (firstSoundAt.load() != 0) return;
    if (std::any_of(samples, samples + frames * 2, [](float s) { return s != 0.0f; })) {
      firstSoundAt = Clock::now().time_since_epoch().count();
    }
  };
  auto* platform = new BenchPlatform(tap);
  ApplicationContext::install(std::unique_ptr<Platform>(platform));
  writeTone("pop.caf", 44100, 1, 0.05, 880);
  URLDispatcher dispatcher;
  Url command = *Url::parse("x://audio.prismora/playSound?name=pop");

  std::vector<double> delays;
  double firstPlay = 0;
  for (int trial = 0; trial <= 200; ++trial) {
    // Wait for silence, then a random moment within a buffer.
    std::this_thread::sleep_for(std::chrono::milliseconds(80 + trial % 7));
    platform->runLoop().takeHandedOver();
    firstSoundAt = 0;
    long long sent = Clock::now().time_since_epoch().count();
    dispatcher.dispatchURL(command);
    // The first play waits for its decoding, whose end is handed to the main thread.
    while (firstSoundAt.load() == 0) {
      platform->runLoop().takeHandedOver();
      std::this_thread::yield();
    }
    double delay = std::chrono::duration<double>(Clock::duration(firstSoundAt - sent)).count();
    if (trial == 0) {
      firstPlay = delay;  // includes decoding the file
    } else {
      delays.push_back(delay);
    }
  }
  std::sort(delays.begin(), delays.end());
  double buffer = static_cast<double>(platform->audio().mixer().bufferFrames()) / kRate;
  std::printf(
      "latency: buffer %d frames = %.2f ms; command to first sample: median %.2f ms, "
      "95th %.2f ms, max %.2f ms (%.2f buffers); first play with decoding %.2f ms\n",
      platform->audio().mixer().bufferFrames(), buffer * 1e3, delays[delays.size() / 2] * 1e3,
      delays[delays.size() * 95 / 100] * 1e3, delays.back() * 1e3, delays.back() / buffer,
      firstPlay * 1e3);
  std::printf("decoded once: pop.caf played %zu times, decoded %zu time(s)\n", delays.size() + 1,
              platform->audio().clips().decodeCount());
  ApplicationContext::uninstall();
}

void measureMemory() {
  auto* platform = new BenchPlatform(nullptr);
  ApplicationContext::install(std::unique_ptr<Platform>(platform));
  std::vector<std::string> tracks;
  double decodedWhole = 0;
  for (int i = 1; i <= 9; ++i) {
    std::string name = "track" + std::to_string(i);
    writeTone(name + ".caf", 44100, 2, 180, 110.0 * i);
    tracks.push_back(name);
    decodedWhole += 180.0 * 44100 * 2 * sizeof(float);
  }
  platform->audio().mixer();
  long before = residentKilobytes();
  Playlist& playlist = Playlist::sharedInstance();
  playlist.setTracks(tracks);
  long peak = before;
  for (int i = 0; i < 9; ++i) {
    playlist.next();
    // A second of real play, then the rest of the cross-fade on the virtual clock.
    for (int tick = 0; tick < 10; ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      platform->runLoop().takeHandedOver();
      peak = std::max(peak, residentKilobytes());
    }
    platform->runLoop().advance(3.2);
  }
  long after = residentKilobytes();
  auto music = SoundManager::sharedManager().currentMusic();
  std::printf("memory: playing at the end: %s (%s)\n", music ? music->name().c_str() : "nothing",
              music && music->playing() ? "playing" : "silent");
  std::printf(
      "memory: nine three-minute tracks played in turn: resident %+.1f MB at the end, %+.1f MB "
      "at the peak (decoded whole they would take %.0f MB)\n",
      (after - before) / 1024.0, (peak - before) / 1024.0, decodedWhole / 1e6);
  ApplicationContext::uninstall();
}

}  // namespace
}  // namespace tumbla

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tumbla::measureLatency();
  tumbla::measureMemory();
  std::filesystem::remove_all(tumbla::benchFolder());
  return 0;
}
