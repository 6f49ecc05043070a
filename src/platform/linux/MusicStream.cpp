#include "platform/linux/MusicStream.h"

#include <algorithm>
#include <cmath>

#include "platform/linux/SoundFile.h"

namespace tumbla {

namespace {
constexpr std::size_t kChunkFrames = 4096;
}

MusicStream::MusicStream(std::unique_ptr<SoundFile> file)
    : VoiceSource(file->rate(), file->channels()), file_(std::move(file)) {
  auto channels = static_cast<std::size_t>(this->channels());
  chunk_.resize(kChunkFrames * channels);
  auto frames = static_cast<std::size_t>(std::ceil(rate() * kAheadSeconds));
  ring_.resize(std::max(frames, kChunkFrames) * channels + kChunkFrames * channels);
  fill();
}

MusicStream::~MusicStream() = default;

std::size_t MusicStream::freeSamples() const {
  return ring_.size() -
         (written_.load(std::memory_order_acquire) - taken_.load(std::memory_order_acquire));
}

void MusicStream::fill() {
  std::lock_guard lock(decoderMutex_);
  auto channels = static_cast<std::size_t>(this->channels());
  while (!decodedAll_.load(std::memory_order_relaxed) && freeSamples() >= chunk_.size()) {
    std::size_t got = file_->read(chunk_.data(), kChunkFrames);
    if (got == 0) {
      // The end of a pass: go round again while passes remain.
      if (loops_ != 0 && file_->rewind()) {
        if (loops_ > 0) --loops_;
        continue;
      }
      decodedAll_.store(true, std::memory_order_release);
      break;
    }
    std::size_t at = written_.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < got * channels; ++i) ring_[(at + i) % ring_.size()] = chunk_[i];
    written_.store(at + got * channels, std::memory_order_release);
  }
}

std::size_t MusicStream::read(float* out, std::size_t frames) {
  auto channels = static_cast<std::size_t>(this->channels());
  std::size_t from = taken_.load(std::memory_order_relaxed);
  std::size_t available = (written_.load(std::memory_order_acquire) - from) / channels;
  std::size_t take = std::min(frames, available);
  std::size_t start = from % ring_.size();
  std::size_t samples = take * channels;
  std::size_t firstPart = std::min(samples, ring_.size() - start);
  std::copy_n(ring_.data() + start, firstPart, out);
  std::copy_n(ring_.data(), samples - firstPart, out + firstPart);
  taken_.store(from + samples, std::memory_order_release);
  return take;
}

bool MusicStream::ended() const {
  return decodedAll_.load(std::memory_order_acquire) &&
         written_.load(std::memory_order_acquire) == taken_.load(std::memory_order_acquire);
}

void MusicStream::restart() {
  {
    std::lock_guard lock(decoderMutex_);
    if (!file_->rewind()) return;
    taken_.store(written_.load());
    decodedAll_.store(false);
  }
  fill();
}

void MusicStream::setLoops(int loops) {
  std::lock_guard lock(decoderMutex_);
  loops_ = loops;
}

}  // namespace tumbla
