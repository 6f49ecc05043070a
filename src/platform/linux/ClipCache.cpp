#include "platform/linux/ClipCache.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/SoundFile.h"

namespace tumbla {

std::shared_ptr<const DecodedClip> decodeClip(SoundFile& file, const std::atomic<bool>& cancelled) {
  auto clip = std::make_shared<DecodedClip>();
  clip->rate = file.rate();
  clip->channels = file.channels();
  auto channels = static_cast<std::size_t>(file.channels());
  auto stated = static_cast<std::size_t>(file.frames());
  clip->samples.resize(stated * channels);
  // A second at a time, so that a decoding no longer wanted stops soon.
  auto chunk = static_cast<std::size_t>(file.rate());
  std::size_t got = 0;
  while (got < stated) {
    if (cancelled.load(std::memory_order_relaxed)) return nullptr;
    std::size_t wanted = std::min(chunk, stated - got);
    std::size_t read = file.read(clip->samples.data() + got * channels, wanted);
    got += read;
    if (read < wanted) break;
  }
  clip->samples.resize(got * channels);
  clip->samples.shrink_to_fit();
  return clip;
}

std::size_t ClipSource::read(float* out, std::size_t frames) {
  std::size_t channels = static_cast<std::size_t>(clip_->channels);
  std::size_t total = clip_->frames();
  std::size_t done = 0;
  // A clip of no frames has nothing to repeat: it ends however it was told to loop.
  if (total == 0) ended_ = true;
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

void ClipCache::clip(const std::string& path, std::unique_ptr<SoundFile> file, Ready ready) {
  Entry& entry = entries_[path];
  if (entry.clip) {
    ready(entry.clip);
    return;
  }
  entry.waiting.push_back(std::move(ready));
  if (entry.decoding.isActive()) return;
  std::shared_ptr<SoundFile> decoding(std::move(file));
  entry.decoding = decoder_.run([this, path, decoding](const std::atomic<bool>& cancelled) {
    std::shared_ptr<const DecodedClip> clip = decodeClip(*decoding, cancelled);
    return WorkerQueue::Answer([this, path, clip] { decoded(path, clip); });
  });
}

void ClipCache::decoded(const std::string& path, std::shared_ptr<const DecodedClip> clip) {
  Entry& entry = entries_[path];
  entry.clip = std::move(clip);
  entry.decoding = Subscription();
  ++decodes_;
  // Handed out from a copy: a ready call may ask the cache again.
  std::vector<Ready> waiting = std::move(entry.waiting);
  std::shared_ptr<const DecodedClip> decodedClip = entry.clip;
  for (const Ready& ready : waiting) ready(decodedClip);
}

}  // namespace tumbla
