#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/Audio.h"
#include "platform/RunLoop.h"
#include "platform/linux/AudioMixer.h"
#include "platform/linux/ClipCache.h"

namespace tumbla {

class WavRecorder;

// The real audio service: libsndfile decodes, one SDL mixer plays. Short files are decoded
// once, off the main loop, and kept; long ones stream from disk. The mixer starts with the first
// player (or at once when recording), so a run that plays nothing never opens the sound device.
class SdlAudio : public Audio {
 public:
  // Files up to this long are decoded whole and kept; longer ones stream.
  static constexpr double kLongestClipSeconds = 10.0;

  struct Options {
    bool mute = false;
    std::shared_ptr<WavRecorder> recorder;
    // Also sees every buffer the mixer hands out, on the mixing thread (measurements).
    AudioMixer::Tap tap;
  };

  SdlAudio(RunLoop& runLoop, Options options);
  ~SdlAudio() override;

  Result<std::unique_ptr<AudioPlayer>> makePlayer(const std::string& path) override;

  AudioMixer& mixer();
  const ClipCache& clips() const { return clips_; }

 private:
  // What the mixer hands each buffer to: the recording and the tap.
  AudioMixer::Tap outputTap() const;
  // Says once, in the trace, where the sound goes.
  void traceOutputOnce();

  RunLoop& runLoop_;
  Options options_;
  bool outputTraced_ = false;
  std::shared_ptr<AudioMixer> mixer_;
  ClipCache clips_;
};

}  // namespace tumbla
