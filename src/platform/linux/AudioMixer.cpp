#include "platform/linux/AudioMixer.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/Log.h"
#include "platform/linux/AlsaDiagnostics.h"
#include "platform/linux/MusicStream.h"
#include "platform/linux/SdlHints.h"
#include "platform/linux/SoftLimit.h"

namespace tumbla {

namespace {

// Frames read from a source per conversion step.
constexpr std::size_t kFeedFrames = 512;

void renderToDevice(void* userData, Uint8* stream, int length) {
  auto* mixer = static_cast<AudioMixer*>(userData);
  auto frames = static_cast<std::size_t>(length) / sizeof(float) /
                static_cast<std::size_t>(mixer->channels());
  mixer->render(reinterpret_cast<float*>(stream), frames);
}

}  // namespace

Voice::~Voice() {
  if (converter) SDL_FreeAudioStream(converter);
}

std::shared_ptr<AudioMixer> AudioMixer::start(Options options, PostToMain postToMain, Tap tap) {
  std::shared_ptr<AudioMixer> mixer(new AudioMixer(options));
  mixer->postToMain_ = std::move(postToMain);
  mixer->tap_ = std::move(tap);
  if (!options.mute) mixer->openOutput();
  if (mixer->device_ == 0) mixer->clock_ = std::thread([m = mixer.get()] { m->runClock(); });
  mixer->decoder_ = std::thread([m = mixer.get()] { m->runDecoder(); });
  if (mixer->device_ != 0) SDL_PauseAudioDevice(mixer->device_, 0);
  return mixer;
}

AudioMixer::~AudioMixer() {
  shutDown();
}

void AudioMixer::openOutput() {
  quietAlsaDiagnostics();
  setSdlHints();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    logLine(std::string("no audio device (") + SDL_GetError() + "); the game plays silent");
    return;
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  // SDL's dummy driver does not keep time; the mixer's own clock does.
  if (driver && std::strcmp(driver, "dummy") == 0) {
    logLine("no audio device (SDL's dummy driver); the game plays silent");
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = options_.rate;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = static_cast<Uint8>(options_.channels);
  wanted.samples = static_cast<Uint16>(options_.bufferFrames);
  wanted.callback = renderToDevice;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (device_ == 0) {
    logLine(std::string("no audio device (") + SDL_GetError() + "); the game plays silent");
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  // SDL converts to the device's own rate and channels; the mixer and a recording keep
  // the ones asked for.
  options_.bufferFrames = obtained.samples;
  outputName_ = driver ? driver : "sdl";
}

void AudioMixer::shutDown() {
  if (stopping_.exchange(true)) return;
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
  }
  streamsWake_.notify_all();
  if (clock_.joinable()) clock_.join();
  if (decoder_.joinable()) decoder_.join();
  std::lock_guard lock(voicesMutex_);
  voices_.clear();
}

void AudioMixer::runClock() {
  using Clock = std::chrono::steady_clock;
  std::vector<float> buffer(static_cast<std::size_t>(options_.bufferFrames * options_.channels));
  auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(options_.bufferFrames) / options_.rate));
  Clock::time_point next = Clock::now();
  while (!stopping_.load()) {
    render(buffer.data(), static_cast<std::size_t>(options_.bufferFrames));
    next += period;
    // After a long stall (a suspended machine) the clock starts again from now rather than
    // rushing through the missed time.
    if (Clock::now() - next > std::chrono::milliseconds(250)) next = Clock::now();
    std::this_thread::sleep_until(next);
  }
}

void AudioMixer::runDecoder() {
  std::unique_lock lock(streamsMutex_);
  while (!stopping_.load()) {
    std::vector<std::shared_ptr<MusicStream>> live;
    std::erase_if(streams_, [&live](const std::weak_ptr<MusicStream>& weak) {
      auto stream = weak.lock();
      if (!stream) return true;
      live.push_back(std::move(stream));
      return false;
    });
    lock.unlock();
    for (const auto& stream : live) stream->fill();
    live.clear();
    lock.lock();
    streamsWake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_.load(); });
  }
}

bool AudioMixer::prepare(Voice& voice) {
  voice.converter = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(voice.source->channels()),
                                       voice.source->rate(), AUDIO_F32SYS,
                                       static_cast<Uint8>(options_.channels), options_.rate);
  return voice.converter != nullptr;
}

void AudioMixer::add(const std::shared_ptr<Voice>& voice) {
  std::lock_guard lock(voicesMutex_);
  if (stopping_.load()) return;
  if (std::find(voices_.begin(), voices_.end(), voice) != voices_.end()) return;
  voice->heardVolume = voice->volume.load();
  voices_.push_back(voice);
}

void AudioMixer::remove(const Voice* voice) {
  std::shared_ptr<Voice> removed;
  std::lock_guard lock(voicesMutex_);
  auto found = std::find_if(voices_.begin(), voices_.end(),
                            [voice](const auto& v) { return v.get() == voice; });
  if (found == voices_.end()) return;
  removed = std::move(*found);
  voices_.erase(found);
  SDL_AudioStreamClear(removed->converter);
  removed->drained = false;
}

void AudioMixer::feed(const std::weak_ptr<MusicStream>& stream) {
  std::lock_guard lock(streamsMutex_);
  streams_.push_back(stream);
}

void AudioMixer::render(float* out, std::size_t frames) {
  std::size_t samples = frames * static_cast<std::size_t>(options_.channels);
  std::fill_n(out, samples, 0.0f);
  {
    std::lock_guard lock(voicesMutex_);
    for (auto voice = voices_.begin(); voice != voices_.end();) {
      if (!mixVoice(**voice, out, frames)) {
        ++voice;
        continue;
      }
      // Reported on the main loop; the voice goes with the report.
      postToMain_([finished = (*voice)->finished] {
        if (finished) finished();
      });
      voice = voices_.erase(voice);
    }
  }
  std::transform(out, out + samples, out, softLimit);
  if (tap_) tap_(out, frames);
}

bool AudioMixer::mixVoice(Voice& voice, float* out, std::size_t frames) {
  auto channels = static_cast<std::size_t>(options_.channels);
  auto sourceChannels = static_cast<std::size_t>(voice.source->channels());
  converted_.resize(frames * channels);
  feedBuffer_.resize(kFeedFrames * sourceChannels);
  std::size_t got = 0;
  while (got < frames) {
    int available = SDL_AudioStreamAvailable(voice.converter);
    if (available > 0) {
      std::size_t want = (frames - got) * channels * sizeof(float);
      int read = SDL_AudioStreamGet(voice.converter, converted_.data() + got * channels,
                                    static_cast<int>(std::min<std::size_t>(want, available)));
      if (read <= 0) break;
      got += static_cast<std::size_t>(read) / sizeof(float) / channels;
      continue;
    }
    if (voice.drained) break;
    std::size_t read = voice.source->read(feedBuffer_.data(), kFeedFrames);
    if (read > 0) {
      SDL_AudioStreamPut(voice.converter, feedBuffer_.data(),
                         static_cast<int>(read * sourceChannels * sizeof(float)));
    } else if (voice.source->ended()) {
      SDL_AudioStreamFlush(voice.converter);
      voice.drained = true;
    } else {
      break;  // the decoder is behind: this buffer gets silence for the rest
    }
  }

  // The level glides across the buffer to its new value, so a fade's steps make no clicks.
  float from = voice.heardVolume;
  float to = voice.volume.load(std::memory_order_relaxed);
  float step = (to - from) / static_cast<float>(frames);
  for (std::size_t frame = 0; frame < got; ++frame) {
    float level = from + step * static_cast<float>(frame + 1);
    for (std::size_t c = 0; c < channels; ++c) {
      out[frame * channels + c] += converted_[frame * channels + c] * level;
    }
  }
  voice.heardVolume = to;
  return voice.drained && got < frames && SDL_AudioStreamAvailable(voice.converter) == 0;
}

}  // namespace tumbla
