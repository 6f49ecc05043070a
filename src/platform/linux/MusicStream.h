#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/linux/VoiceSource.h"

namespace tumbla {

class SoundFile;

// A long file played from disk: a decoding thread keeps a half-second ring of samples
// filled ahead of the mixer, so a three-minute track costs that ring, not the decoded file.
class MusicStream : public VoiceSource {
 public:
  static constexpr double kAheadSeconds = 0.5;

  explicit MusicStream(std::unique_ptr<SoundFile> file);
  ~MusicStream() override;

  // Mixing thread: takes what the ring holds, up to `frames`.
  std::size_t read(float* out, std::size_t frames) override;
  bool ended() const override;
  void restart() override;
  void setLoops(int loops) override;

  // Decoding thread (and the first fill on the main thread): tops the ring up.
  void fill();

 private:
  std::size_t freeSamples() const;

  std::mutex decoderMutex_;
  std::unique_ptr<SoundFile> file_;
  int loops_ = 0;
  std::vector<float> chunk_;
  std::atomic<bool> decodedAll_{false};

  // Single producer (the decoder), single consumer (the mixer).
  std::vector<float> ring_;
  std::atomic<std::size_t> written_{0};
  std::atomic<std::size_t> taken_{0};
};

}  // namespace tumbla
