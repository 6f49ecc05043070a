#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Result.h"

namespace tumbla {

// Writes what the mixer hands the device as a 16-bit PCM WAV file. Samples arrive on the
// mixing thread and are written by a thread of the recorder's own, so the mixer never
// waits for the disk; the file appears under its name, whole, when the recording ends.
class WavRecorder {
 public:
  static Result<std::unique_ptr<WavRecorder>> open(const std::filesystem::path& path, int rate,
                                                   int channels);
  ~WavRecorder();
  WavRecorder(const WavRecorder&) = delete;
  WavRecorder& operator=(const WavRecorder&) = delete;

  // Mixing thread: queues `frames` frames of interleaved floats, clipped to full scale.
  void append(const float* samples, std::size_t frames);
  // Writes what is queued, completes the header and puts the file in place.
  Status finish();

 private:
  WavRecorder(std::filesystem::path path, std::filesystem::path partial, std::FILE* file, int rate,
              int channels);
  void writeLoop();
  bool writeHeader(std::uint64_t dataBytes);

  std::filesystem::path path_;
  std::filesystem::path partial_;
  std::FILE* file_;
  int rate_;
  int channels_;
  std::uint64_t dataBytes_ = 0;
  bool failed_ = false;
  bool finished_ = false;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::int16_t> queued_;
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace tumbla
