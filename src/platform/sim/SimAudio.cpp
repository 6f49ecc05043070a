#include "platform/sim/SimAudio.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "platform/sim/SimRunLoop.h"

namespace tumbla {

namespace {

constexpr std::string_view kTestFilePrefix = "sim-audio:";

template <class T>
std::optional<T> readInteger(std::string_view bytes, std::size_t offset, bool bigEndian) {
  if (offset + sizeof(T) > bytes.size()) return std::nullopt;
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    std::size_t index = bigEndian ? i : sizeof(T) - 1 - i;
    value = static_cast<T>((value << 8) | static_cast<unsigned char>(bytes[offset + index]));
  }
  return value;
}

// The length of a PCM WAV file: its data chunk over the bytes per second.
std::optional<double> wavDuration(std::string_view bytes) {
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
    return std::nullopt;
  }
  std::optional<std::uint32_t> byteRate;
  std::size_t offset = 12;
  while (offset + 8 <= bytes.size()) {
    std::string_view id = bytes.substr(offset, 4);
    std::uint32_t size = *readInteger<std::uint32_t>(bytes, offset + 4, false);
    std::size_t body = offset + 8;
    if (id == "fmt ") {
      byteRate = readInteger<std::uint32_t>(bytes, body + 8, false);
    } else if (id == "data") {
      if (!byteRate || *byteRate == 0) return std::nullopt;
      std::size_t available = std::min<std::size_t>(size, bytes.size() - body);
      return static_cast<double>(available) / *byteRate;
    }
    offset = body + size + (size & 1);
  }
  return std::nullopt;
}

// The length of a CAF file of fixed-size packets: its data chunk over the packets' rate.
std::optional<double> cafDuration(std::string_view bytes) {
  if (bytes.size() < 8 || bytes.substr(0, 4) != "caff") return std::nullopt;
  double sampleRate = 0;
  std::uint32_t bytesPerPacket = 0;
  std::uint32_t framesPerPacket = 0;
  std::size_t offset = 8;
  while (offset + 12 <= bytes.size()) {
    std::string_view id = bytes.substr(offset, 4);
    auto size = static_cast<std::int64_t>(*readInteger<std::uint64_t>(bytes, offset + 4, true));
    std::size_t body = offset + 12;
    if (id == "desc" && body + 32 <= bytes.size()) {
      sampleRate = std::bit_cast<double>(*readInteger<std::uint64_t>(bytes, body, true));
      bytesPerPacket = *readInteger<std::uint32_t>(bytes, body + 12, true);
      framesPerPacket = *readInteger<std::uint32_t>(bytes, body + 16, true);
    } else if (id == "data") {
      if (!(sampleRate > 0) || bytesPerPacket == 0 || framesPerPacket == 0) return std::nullopt;
      // The edit count comes first; a size of -1 means "to the end of the file".
      std::size_t start = body + 4;
      if (start > bytes.size()) return std::nullopt;
      std::size_t available = bytes.size() - start;
      if (size >= 4)
        available = std::min<std::size_t>(available, static_cast<std::size_t>(size - 4));
      // Whole packets only: a part packet at the end holds no frame.
      std::size_t packets = available / bytesPerPacket;
      return static_cast<double>(packets) * framesPerPacket / sampleRate;
    }
    if (size < 0) return std::nullopt;
    offset = body + static_cast<std::size_t>(size);
  }
  return std::nullopt;
}

std::optional<double> testFileDuration(std::string_view bytes) {
  if (!bytes.starts_with(kTestFilePrefix)) return std::nullopt;
  bytes.remove_prefix(kTestFilePrefix.size());
  double seconds = 0;
  auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), seconds);
  if (error != std::errc() || !(seconds >= 0) || !std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

class SimAudioPlayer : public AudioPlayer {
 public:
  SimAudioPlayer(std::shared_ptr<SimAudio::PlayerRecord> record, SimRunLoop& runLoop)
      : AudioPlayer(record->path), record_(std::move(record)), runLoop_(runLoop) {
    record_->volumes.push_back({runLoop_.now(), volume()});
  }
  ~SimAudioPlayer() override {
    record_->released = true;
    record_->playing = false;
  }

  void prepareToPlay() override { ++record_->prepares; }
  bool isPlaying() const override { return record_->playing; }
  double duration() const override { return record_->duration; }

 protected:
  void playImpl() override {
    record_->playing = true;
    ++record_->plays;
    startedAt_ = runLoop_.uptime();
    if (numberOfLoops() < 0) return;
    double remaining = record_->duration * (numberOfLoops() + 1) - position_;
    end_ = runLoop_.scheduleTimer(std::max(remaining, 0.0), false, [this] {
      record_->playing = false;
      position_ = 0;
      end_.reset();
      ++record_->finishes;
      finishedPlaying();
    });
  }
  void stopImpl() override {
    record_->playing = false;
    ++record_->stops;
    position_ += runLoop_.uptime() - startedAt_;
    end_.reset();
  }
  void volumeChanged() override { record_->volumes.push_back({runLoop_.now(), volume()}); }

 private:
  std::shared_ptr<SimAudio::PlayerRecord> record_;
  SimRunLoop& runLoop_;
  // On the run loop's uptime: how long it played, whatever the wall clock did.
  double startedAt_ = 0;
  double position_ = 0;
  std::shared_ptr<Timer> end_;
};

}  // namespace

float SimAudio::PlayerRecord::volumeAt(Date time) const {
  float level = volumes.empty() ? 1.0f : volumes.front().volume;
  for (const VolumeChange& change : volumes) {
    if (change.time > time) break;
    level = change.volume;
  }
  return level;
}

Result<std::unique_ptr<AudioPlayer>> SimAudio::makePlayer(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Failure{"cannot open " + path};
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::optional<double> duration = testFileDuration(bytes);
  if (!duration) duration = wavDuration(bytes);
  if (!duration) duration = cafDuration(bytes);
  if (!duration || *duration <= 0) return Failure{path + " is not a sound this player can play"};

  auto record = std::make_shared<PlayerRecord>();
  record->path = path;
  record->duration = *duration;
  players_.push_back(record);
  return std::unique_ptr<AudioPlayer>(new SimAudioPlayer(std::move(record), runLoop_));
}

std::vector<std::shared_ptr<SimAudio::PlayerRecord>> SimAudio::playersOf(
    const std::string& fileName) const {
  std::vector<std::shared_ptr<PlayerRecord>> found;
  for (const auto& record : players_) {
    std::string_view path = record->path;
    if (path.ends_with("/" + fileName)) found.push_back(record);
  }
  return found;
}

int SimAudio::playingCount() const {
  return static_cast<int>(
      std::count_if(players_.begin(), players_.end(), [](const auto& r) { return r->playing; }));
}

}  // namespace tumbla
