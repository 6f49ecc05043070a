#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/linux/VoiceSource.h"
#include "platform/linux/WorkerQueue.h"

namespace tumbla {

class SoundFile;

// A short file decoded whole, shared by every voice that plays it.
struct DecodedClip {
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;

  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
};

// Decodes the whole of `file`; a truncated file keeps what it has, and one that holds no
// sound at all gives a clip of no frames. Nothing when `cancelled` turned true part way.
std::shared_ptr<const DecodedClip> decodeClip(SoundFile& file,
                                              const std::atomic<bool>& cancelled = false);

// Plays a decoded clip from memory, looping in place.
class ClipSource : public VoiceSource {
 public:
  explicit ClipSource(std::shared_ptr<const DecodedClip> clip)
      : VoiceSource(clip->rate, clip->channels), clip_(std::move(clip)) {}
  // For a clip still being decoded, in the file's format: it must be given its clip
  // before it is mixed.
  ClipSource(int rate, int channels) : VoiceSource(rate, channels) {}

  bool hasClip() const { return clip_ != nullptr; }
  // On the main thread, while the source is not being mixed.
  void setClip(std::shared_ptr<const DecodedClip> clip) { clip_ = std::move(clip); }

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

// Short effects decoded once, on a worker of their own, and kept however often they play.
// Main thread only; destroying the cache stops its decoding (see WorkerQueue).
class ClipCache {
 public:
  using Ready = std::function<void(const std::shared_ptr<const DecodedClip>& clip)>;

  explicit ClipCache(RunLoop& runLoop) : decoder_(runLoop) {}

  // Hands `ready` the clip of `path`: at once when it is decoded already, otherwise from
  // the main loop once the worker has decoded it from `file` (which is then kept until
  // then). One file is decoded once however many ask for it meanwhile. `ready` is called
  // whatever became of its asker: it holds its asker weakly.
  void clip(const std::string& path, std::unique_ptr<SoundFile> file, Ready ready);
  std::size_t decodeCount() const { return decodes_; }

 private:
  struct Entry {
    std::shared_ptr<const DecodedClip> clip;
    std::vector<Ready> waiting;
    Subscription decoding;
  };

  void decoded(const std::string& path, std::shared_ptr<const DecodedClip> clip);

  std::map<std::string, Entry> entries_;
  std::size_t decodes_ = 0;
  // Last: it stops before the entries its answers fill go.
  WorkerQueue decoder_;
};

}  // namespace tumbla
