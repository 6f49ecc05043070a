#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "platform/linux/VoiceSource.h"

namespace tumbla {

class SoundFile;

// A short file decoded whole, shared by every voice that plays it.
struct DecodedClip {
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;

  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
};

// Plays a decoded clip from memory, looping in place.
class ClipSource : public VoiceSource {
 public:
  explicit ClipSource(std::shared_ptr<const DecodedClip> clip)
      : VoiceSource(clip->rate, clip->channels), clip_(std::move(clip)) {}

  std::size_t read(float* out, std::size_t frames) override;
  bool ended() const override { return ended_; }
  void restart() override;
  void setLoops(int loops) override { loops_ = loops; }

 private:
  std::shared_ptr<const DecodedClip> clip_;
  std::size_t position_ = 0;
  int loops_ = 0;
  bool ended_ = false;
};

// Short effects decoded once and kept, however often they play.
class ClipCache {
 public:
  // The clip of `path`, decoding it (from the open `file`) the first time. Fails when the
  // file holds no sound at all.
  Result<std::shared_ptr<const DecodedClip>> clip(const std::string& path, SoundFile& file);
  std::size_t decodeCount() const { return decodes_; }

 private:
  std::map<std::string, std::shared_ptr<const DecodedClip>> clips_;
  std::size_t decodes_ = 0;
};

}  // namespace tumbla
