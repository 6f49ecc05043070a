#include "platform/linux/WavRecorder.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <system_error>

namespace tumbla {

namespace {

void putLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Result<std::unique_ptr<WavRecorder>> WavRecorder::open(const std::filesystem::path& path, int rate,
                                                       int channels) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return Failure{path.string() + " is a directory"};
  }
  std::filesystem::path partial = path;
  partial += ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) {
    return Failure{"cannot write " + partial.string() + ": " + std::strerror(errno)};
  }
  std::unique_ptr<WavRecorder> recorder(new WavRecorder(path, partial, file, rate, channels));
  if (!recorder->writeHeader(0)) return Failure{"cannot write " + partial.string()};
  return recorder;
}

WavRecorder::WavRecorder(std::filesystem::path path, std::filesystem::path partial, std::FILE* file,
                         int rate, int channels)
    : path_(std::move(path)),
      partial_(std::move(partial)),
      file_(file),
      rate_(rate),
      channels_(channels),
      writer_([this] { writeLoop(); }) {}

WavRecorder::~WavRecorder() {
  (void)finish();
}

bool WavRecorder::writeHeader(std::uint64_t dataBytes) {
  // A WAV file can't say more than 4 GiB; a longer recording keeps the largest size.
  auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes, 0xFFFFFFFFu - 36));
  std::array<std::uint8_t, 44> header{};
  std::memcpy(&header[0], "RIFF", 4);
  putLittleEndian(&header[4], 36 + size, 4);
  std::memcpy(&header[8], "WAVEfmt ", 8);
  putLittleEndian(&header[16], 16, 4);
  putLittleEndian(&header[20], 1, 2);  // integer PCM
  putLittleEndian(&header[22], static_cast<std::uint32_t>(channels_), 2);
  putLittleEndian(&header[24], static_cast<std::uint32_t>(rate_), 4);
  putLittleEndian(&header[28], static_cast<std::uint32_t>(rate_ * channels_ * 2), 4);
  putLittleEndian(&header[32], static_cast<std::uint32_t>(channels_ * 2), 2);
  putLittleEndian(&header[34], 16, 2);
  std::memcpy(&header[36], "data", 4);
  putLittleEndian(&header[40], size, 4);
  return std::fseek(file_, 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), file_) == header.size() &&
         std::fseek(file_, 0, SEEK_END) == 0;
}

void WavRecorder::append(const float* samples, std::size_t frames) {
  std::lock_guard lock(mutex_);
  std::size_t count = frames * static_cast<std::size_t>(channels_);
  for (std::size_t i = 0; i < count; ++i) {
    float clipped = std::clamp(samples[i], -1.0f, 1.0f);
    queued_.push_back(static_cast<std::int16_t>(std::lrint(clipped * 32767.0f)));
  }
}

void WavRecorder::writeLoop() {
  std::vector<std::int16_t> writing;
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_; });
    writing.swap(queued_);
    bool last = stopping_;
    lock.unlock();
    // The file is little-endian, as is every machine this runs on.
    if (!writing.empty() && !failed_) {
      failed_ = std::fwrite(writing.data(), sizeof(std::int16_t), writing.size(), file_) !=
                writing.size();
      dataBytes_ += writing.size() * sizeof(std::int16_t);
    }
    writing.clear();
    lock.lock();
    if (last && queued_.empty()) return;
  }
}

Status WavRecorder::finish() {
  if (finished_) return {};
  finished_ = true;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  writer_.join();
  bool ok = !failed_ && writeHeader(dataBytes_) && std::fflush(file_) == 0 &&
            ::fsync(::fileno(file_)) == 0;
  ok = std::fclose(file_) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(partial_, path_, error);
  if (!ok || error) {
    return Failure{"could not write the audio recording " + path_.string() +
                   (error ? ": " + error.message() : std::string())};
  }
  return {};
}

}  // namespace tumbla
