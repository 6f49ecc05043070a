#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/VoiceSource.h"

// SDL's own name for its stream type, declared here so that SDL stays out of this header.
struct _SDL_AudioStream;  // NOLINT(bugprone-reserved-identifier)

namespace tumbla {

class MusicStream;

// One voice of the mixer: a source, its conversion to the output's rate and channels, and
// its level. The mixer reads it on its own thread; the owner sets it on the main thread.
struct Voice {
  explicit Voice(std::shared_ptr<VoiceSource> source) : source(std::move(source)) {}
  ~Voice();

  std::shared_ptr<VoiceSource> source;
  _SDL_AudioStream* converter = nullptr;
  std::atomic<float> volume{1.0f};
  // The level last heard, from which the next buffer glides to `volume`.
  float heardVolume = 1.0f;
  bool drained = false;
  // Runs on the main loop when the voice has played to its end.
  std::function<void()> finished;
};

// Sums every playing voice, each at its volume, into one output: the sound device when
// there is one, else a clock thread of its own that runs in real time, so recordings and
// finish reports stay right on a machine without sound.
class AudioMixer {
 public:
  using PostToMain = std::function<void(std::function<void()>)>;
  // Sees every buffer the mixer hands out, on the mixing thread, right after it is mixed.
  using Tap = std::function<void(const float* samples, std::size_t frames)>;
  struct Options {
    bool mute = false;
    int rate = 48000;
    int channels = 2;
    int bufferFrames = 256;
  };

  // Opens the output (logging a line and going on silent when there is no device) and
  // starts mixing.
  static std::shared_ptr<AudioMixer> start(Options options, PostToMain postToMain, Tap tap);
  ~AudioMixer();
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  // Stops the output and the decoder thread; later calls change nothing audible.
  void shutDown();

  int rate() const { return options_.rate; }
  int channels() const { return options_.channels; }
  int bufferFrames() const { return options_.bufferFrames; }
  // Where the sound goes: the SDL driver's name, or "none" when mixing silently.
  const std::string& outputName() const { return outputName_; }

  // Prepares the voice's conversion to the output; false when SDL can't convert it.
  bool prepare(Voice& voice);
  void add(const std::shared_ptr<Voice>& voice);
  void remove(const Voice* voice);
  // Keeps `stream` filled ahead of the mixer until it goes away.
  void feed(const std::weak_ptr<MusicStream>& stream);

  // Mixes one buffer of `frames` frames into `out` (interleaved floats).
  void render(float* out, std::size_t frames);

 private:
  explicit AudioMixer(Options options) : options_(options) {}
  void openOutput();
  void runClock();
  void runDecoder();
  // Mixes one voice into the output; true when it has played to its end.
  bool mixVoice(Voice& voice, float* out, std::size_t frames);

  Options options_;
  PostToMain postToMain_;
  Tap tap_;
  std::string outputName_ = "none";
  std::uint32_t device_ = 0;

  std::mutex voicesMutex_;
  std::vector<std::shared_ptr<Voice>> voices_;
  std::vector<float> converted_;
  std::vector<float> feedBuffer_;

  std::mutex streamsMutex_;
  std::condition_variable streamsWake_;
  std::vector<std::weak_ptr<MusicStream>> streams_;

  std::atomic<bool> stopping_{false};
  std::thread clock_;
  std::thread decoder_;
};

}  // namespace tumbla
