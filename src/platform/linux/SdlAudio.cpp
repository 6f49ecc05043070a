#include "platform/linux/SdlAudio.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/linux/MusicStream.h"
#include "platform/linux/SdlAudioPlayer.h"
#include "platform/linux/SoundFile.h"
#include "platform/linux/WavRecorder.h"

namespace tumbla {

SdlAudio::SdlAudio(RunLoop& runLoop, Options options)
    : runLoop_(runLoop), options_(std::move(options)), clips_(runLoop) {
  // A recording starts with the program, not with the first sound.
  if (options_.recorder) mixer();
}

SdlAudio::~SdlAudio() {
  // Players that outlive the platform keep the mixer object, silent and stopped.
  if (mixer_) mixer_->shutDown();
  if (options_.recorder) {
    if (Status written = options_.recorder->finish(); !written) {
      logLine(written.reason());
    }
  }
}

AudioMixer::Tap SdlAudio::outputTap() const {
  if (!options_.recorder && !options_.tap) return nullptr;
  return
      [recorder = options_.recorder, tap = options_.tap](const float* samples, std::size_t frames) {
        if (recorder) recorder->append(samples, frames);
        if (tap) tap(samples, frames);
      };
}

AudioMixer& SdlAudio::mixer() {
  if (!mixer_) {
    AudioMixer::Options options;
    options.mute = options_.mute;
    // The mixer hands over only from its own threads, which this object's destructor
    // stops before the run loop goes.
    RunLoop* runLoop = &runLoop_;
    mixer_ = AudioMixer::start(
        options, [runLoop](std::function<void()> task) { runLoop->postToMain(std::move(task)); },
        outputTap());
  }
  return *mixer_;
}

void SdlAudio::traceOutputOnce() {
  if (outputTraced_) return;
  outputTraced_ = true;
  Platform& platform = Platform::shared();
  if (platform.isTracing()) {
    platform.trace({{"event", "audio-output"},
                    {"output", mixer_->outputName()},
                    {"rate", Value::integer(mixer_->rate())},
                    {"channels", Value::integer(mixer_->channels())},
                    {"bufferFrames", Value::integer(mixer_->bufferFrames())}});
  }
}

Result<std::unique_ptr<AudioPlayer>> SdlAudio::makePlayer(const std::string& path) {
  auto file = SoundFile::open(path);
  if (!file) return Failure{file.reason()};
  SoundFile& opened = **file;
  double duration = static_cast<double>(opened.frames()) / opened.rate();

  std::shared_ptr<VoiceSource> source;
  std::shared_ptr<MusicStream> stream;
  std::shared_ptr<ClipSource> clip;
  if (duration <= kLongestClipSeconds) {
    // Decoding a clip takes longer than a frame (tens of milliseconds for ten compressed
    // seconds): it is decoded on the clip cache's worker, and the player plays once it is
    // there.
    clip = std::make_shared<ClipSource>(opened.rate(), opened.channels());
    source = clip;
  } else {
    stream = std::make_shared<MusicStream>(std::move(*file));
    source = stream;
  }

  AudioMixer& output = mixer();
  traceOutputOnce();
  auto voice = std::make_shared<Voice>(std::move(source));
  if (!output.prepare(*voice)) return Failure{"the mixer cannot convert this sound's format"};
  // The decoder thread holds the stream only weakly: it goes with its voice.
  if (stream) output.feed(stream);
  auto player = std::make_unique<SdlAudioPlayer>(path, mixer_, std::move(voice), duration);
  if (clip) clips_.clip(path, std::move(*file), player->awaitClip(std::move(clip)));
  return std::unique_ptr<AudioPlayer>(std::move(player));
}

}  // namespace tumbla
