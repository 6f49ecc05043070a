#pragma once

#include <cstddef>

namespace tumbla {

// Where a voice's samples come from: interleaved floats at the file's own rate and channel
// count. `read` and `ended` run on the mixing thread; `restart` and `setLoops` on the main
// thread while the voice is not being mixed.
class VoiceSource {
 public:
  VoiceSource(int rate, int channels) : rate_(rate), channels_(channels) {}
  virtual ~VoiceSource() = default;

  int rate() const { return rate_; }
  int channels() const { return channels_; }

  // Up to `frames` frames; fewer when nothing more is ready now or the source has ended.
  virtual std::size_t read(float* out, std::size_t frames) = 0;
  // True once every pass has been read.
  virtual bool ended() const = 0;
  // Back to the start, for a new play after the end.
  virtual void restart() = 0;
  // Passes after the first: 0 plays once, negative repeats without end.
  virtual void setLoops(int loops) = 0;

 private:
  int rate_;
  int channels_;
};

}  // namespace tumbla
