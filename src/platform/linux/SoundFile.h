#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Result.h"

struct sf_private_tag;

namespace tumbla {

// An audio file opened for decoding (CAF, WAV, AIFF, FLAC, Ogg, and MP3 where the
// installed libsndfile has it), read as interleaved floats.
class SoundFile {
 public:
  static Result<std::unique_ptr<SoundFile>> open(const std::string& path);
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // The length the header states; a truncated file delivers fewer.
  std::int64_t frames() const { return frames_; }

  // Reads up to `frames` frames; fewer only at the end of the file (or of what is there).
  std::size_t read(float* out, std::size_t frames);
  bool rewind();

 private:
  SoundFile(sf_private_tag* file, int rate, int channels, std::int64_t frames)
      : file_(file), rate_(rate), channels_(channels), frames_(frames) {}

  sf_private_tag* file_;
  int rate_;
  int channels_;
  std::int64_t frames_;
};

}  // namespace tumbla
