#include "platform/linux/ClipCache.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/SoundFile.h"

namespace tumbla {

std::size_t ClipSource::read(float* out, std::size_t frames) {
  std::size_t channels = static_cast<std::size_t>(clip_->channels);
  std::size_t total = clip_->frames();
  std::size_t done = 0;
  while (done < frames && !ended_) {
    if (position_ == total) {
      if (loops_ == 0) {
        ended_ = true;
        break;
      }
      if (loops_ > 0) --loops_;
      position_ = 0;
    }
    std::size_t take = std::min(frames - done, total - position_);
    std::memcpy(out + done * channels, clip_->samples.data() + position_ * channels,
                take * channels * sizeof(float));
    position_ += take;
    done += take;
  }
  return done;
}

void ClipSource::restart() {
  position_ = 0;
  ended_ = false;
}

Result<std::shared_ptr<const DecodedClip>> ClipCache::clip(const std::string& path,
                                                           SoundFile& file) {
  if (auto found = clips_.find(path); found != clips_.end()) return found->second;
  auto clip = std::make_shared<DecodedClip>();
  clip->rate = file.rate();
  clip->channels = file.channels();
  clip->samples.resize(static_cast<std::size_t>(file.frames()) *
                       static_cast<std::size_t>(file.channels()));
  // A truncated file keeps what it has.
  std::size_t got = file.read(clip->samples.data(), static_cast<std::size_t>(file.frames()));
  if (got == 0) return Failure{"no sound in it"};
  clip->samples.resize(got * static_cast<std::size_t>(clip->channels));
  clip->samples.shrink_to_fit();
  ++decodes_;
  clips_.emplace(path, clip);
  return std::shared_ptr<const DecodedClip>(std::move(clip));
}

}  // namespace tumbla
